# Settings model and store, loggers, log router, docks, layout files.
target_sources(QtAppFramework PRIVATE
  src/QtAppFramework/Setting.cpp
  src/QtAppFramework/SettingsGroup.cpp
  src/QtAppFramework/SettingsManager.cpp
  src/QtAppFramework/GeneralStore.cpp
  src/QtAppFramework/SettingsLogging.cpp
  src/QtAppFramework/SettingsLayout.cpp
  src/QtAppFramework/Logger.cpp
  src/QtAppFramework/QtLogger.cpp
  src/QtAppFramework/LoggingManager.cpp
  src/QtAppFramework/AppDockWidget.cpp
  src/QtAppFramework/OutputWindow.cpp
  src/QtAppFramework/LayoutFile.cpp
  src/QtAppFramework/LayoutRecord.cpp
  src/QtAppFramework/NestedMainWindow.cpp
)
target_link_libraries(QtAppFramework
  PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Network
  PRIVATE platform_core log4cplus::log4cplus)

set(_corv_framework_scratch ${CMAKE_BINARY_DIR}/test-scratch)
corv_add_test(QtAppFramework_settings_test GUI
  SOURCES tests/SettingsModelTest.cpp tests/SettingsStoreTest.cpp tests/TestGroup.h
  LIBS QtAppFramework Qt5::Test
  ENVIRONMENT "XDG_CONFIG_HOME=${_corv_framework_scratch}/QtAppFramework_settings_test/config")
corv_add_test(QtAppFramework_loggers_test QT
  SOURCES tests/LoggerTest.cpp
  LIBS QtAppFramework platform_core Qt5::Test Qt5::Network)
corv_add_test(QtAppFramework_logrouter_test GUI
  SOURCES tests/LoggingManagerTest.cpp
  LIBS QtAppFramework Qt5::Test Qt5::Network)
corv_add_test(QtAppFramework_docks_test GUI
  SOURCES tests/DockLayoutTest.cpp
  LIBS QtAppFramework Qt5::Test)

# Layout file bytes against a real main window, offscreen.
corv_add_fuzzer(layout_file_fuzz
  SOURCES tests/LayoutFuzzer.cpp src/QtAppFramework/LayoutRecord.cpp
  INCLUDES src
  QT Core Gui Widgets)
