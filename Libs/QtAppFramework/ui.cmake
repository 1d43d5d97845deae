# Option pages, options dialog, control pane, style kit.
set(CORV_UISTYLE_DIR src/QtAppFramework/uistyle)

# The Lato fonts come from the system's fonts-lato package into the style resources.
set(CORV_LATO_DIR /usr/share/fonts/truetype/lato CACHE PATH "Folder with Lato-Regular.ttf and Lato-Bold.ttf")
set(uistyle_fonts_dir ${CMAKE_CURRENT_BINARY_DIR}/uistyle_fonts)
foreach(font Lato-Regular.ttf Lato-Bold.ttf)
  if(NOT EXISTS ${CORV_LATO_DIR}/${font})
    message(FATAL_ERROR "${font} not found in ${CORV_LATO_DIR} (Debian package fonts-lato)")
  endif()
  configure_file(${CORV_LATO_DIR}/${font} ${uistyle_fonts_dir}/${font} COPYONLY)
endforeach()
file(WRITE ${uistyle_fonts_dir}/uistyle_fonts.qrc.in [=[<!DOCTYPE RCC>
<RCC version="1.0">
<qresource prefix="/uistyle">
    <file>Lato-Regular.ttf</file>
    <file>Lato-Bold.ttf</file>
</qresource>
</RCC>
]=])
configure_file(${uistyle_fonts_dir}/uistyle_fonts.qrc.in ${uistyle_fonts_dir}/uistyle_fonts.qrc COPYONLY)

target_sources(QtAppFramework PRIVATE
  src/QtAppFramework/SettingsNodeComponent.cpp
  src/QtAppFramework/PropertiesNode.cpp
  src/QtAppFramework/AppPropertiesNode.cpp
  src/QtAppFramework/SettingsDescriptionFrame.cpp
  src/QtAppFramework/SettingsPageMap.cpp
  src/QtAppFramework/OptionsDialog.cpp
  src/QtAppFramework/ControlPane.cpp
  src/QtAppFramework/UiStyle.cpp
  src/QtAppFramework/SvgIconEngine.cpp
  ${CORV_UISTYLE_DIR}/uistyle.qrc
  ${uistyle_fonts_dir}/uistyle_fonts.qrc
)
target_link_libraries(QtAppFramework PUBLIC Qt5::Widgets QtPropertyBrowser PRIVATE platform_core)

corv_add_test(QtAppFramework_optionpages_test GUI
  SOURCES tests/OptionPagesTest.cpp tests/TestGroup.h
  LIBS QtAppFramework Qt5::Test)

corv_add_test(QtAppFramework_uistyle_test GUI
  SOURCES tests/UiStyleTest.cpp
  LIBS QtAppFramework Qt5::Test)

# A styled window with the options dialog and the control pane, for looking at them under Xvfb.
add_executable(QtAppFramework_options_demo EXCLUDE_FROM_ALL tests/OptionsDemo.cpp tests/TestGroup.h)
target_link_libraries(QtAppFramework_options_demo PRIVATE QtAppFramework)
corv_warnings(QtAppFramework_options_demo)
