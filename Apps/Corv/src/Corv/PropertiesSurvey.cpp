#include "PropertiesSurvey.h"

#include "PropertiesRows.h"

#include <iterator>

#define TR(text) QT_TRANSLATE_NOOP("CPropertiesSurvey", text)

namespace {

const PropertyEnumItem s_aVariables[] = {{"Z", 0}, {"Zt", 1}, {"Zv", 2}, {"Zg", 3}, {"Zr", 4}};
const PropertyEnumItem s_aOperations[] = {{"Min", 0}, {"Median", 1}};
const PropertyEnumItem s_aScaleFactors[] = {{"x 1", 0}, {"x 2", 1}, {"x 5", 2}, {"x 10", 3}};
const PropertyEnumItem s_aLightDirections[] = {
    {"North West", 0}, {"North East", 1}, {"South East", 2}, {"South West", 3}};
const PropertyEnumItem s_aLabelFormats[] = {
    {"DD.DDD", 0}, {"DD MM.MM", 1}, {"DD MM SS.SS", 2}, {"Projection", 3}};

constexpr PropertyType Group = PropertyType::Group;
constexpr PropertyType Bool = PropertyType::Bool;
constexpr PropertyType Int = PropertyType::Int;
constexpr PropertyType Enum = PropertyType::Enum;
constexpr PropertyType Color = PropertyType::Color;
constexpr PropertyType String = PropertyType::String;

const PropertyRow s_aRows[] = {
    {Group, 1, 0, TR("Terrain Model"), TR("These settings affect the way the gridded data is displayed.")},
    {Bool, 1, 1, TR("Visibility"), TR("Visibility state of the gridded data in the view.")},
    {Enum, 1, 10, TR("Variable"), TR("Type of point set variable to be used to pick a point or value for a grid cell."),
     s_aVariables, int(std::size(s_aVariables))},
    {Enum, 1, 8, TR("Operation"), TR("Type of point set operation to be used to pick a point or value for a grid cell."),
     s_aOperations, int(std::size(s_aOperations))},
    {Enum, 1, 9, TR("Scale Factor"), TR("Depth scale factor"), s_aScaleFactors, int(std::size(s_aScaleFactors))},
    {Enum, 16, 32, TR("Light Direction"), TR("Select the direction the light shines from"), s_aLightDirections,
     int(std::size(s_aLightDirections))},

    {Group, 1, 25, TR("Ships Track"), TR("These settings affect the way the ships track data is displayed.")},
    {Bool, 16, 28, TR("Show Realtime Positions"), TR("Visibility of the Position History")},
    {Color, 16, 29, TR("Realtime Position Colour"), TR("Realtime Position Colour")},
    {Bool, 1, 29, TR("Show Stored Track"), TR("Visibility state of the track portion of the shipstrack.")},
    {Color, 1, 27, TR("Stored Track Colour"),
     TR("Base colour used for each ships track line when a colour map has not been applied.")},
    {Int, 1, 28, TR("Stored Line Width"), TR("Displayed width of each ships track line (in pixels).  \n"), nullptr, 0, 1, 8},

    {Group, 1, 72, TR("Overlay"), TR("These settings affect the overlay in the map view.")},
    {Color, 16, 15, TR("Background Colour"), TR("Change the Background colour in the map view.")},
    {Color, 16, 4, TR("Graticule Colour"), TR("Change the graticlue colour in the map view.")},
    {Bool, 16, 5, TR("Show Graticule"), TR("Visibility of the graticule in the map view.")},
    {Enum, 16, 6, TR("Graticule Label Format"), TR("Label format used by the graticule in the map view."),
     s_aLabelFormats, int(std::size(s_aLabelFormats))},

    {Group, 1, 73, TR("Miscellaneous"), TR("Various other survey related settings.")},
    {Color, 1, 75, TR("Highlight Colour"),
     TR("Highlight colour used in the 2D and 3D map views. \nSelected objects will be shown in this colour.")},
    {Bool, 16, 19, TR("Show Depth Tail"), TR("Visibility of the Depth Tail.")},
    {Int, 16, 20, TR("Depth tail point size"), TR("Size of depth tail points."), nullptr, 0, 1, 8},
    {Int, 16, 21, TR("Depth Tail Number of points"), TR("Number of points in depth tail.")},
    {Color, 16, 27, TR("Vessel Colour"), TR("Vessel colour")},
    {Bool, 16, 18, TR("Show Map"), TR("Show or hide bacground map.")},
    {Bool, 16, 24, TR("Show COG Vector"), TR("Visibility of the COG Vector.")},
    {Int, 16, 25, TR("COG Vector length"), TR("Length of COG vector in minutes"), nullptr, 0, 1, 20},
    {Color, 16, 26, TR("COG Vector Colour"), TR("COG Vector colour")},
    {Bool, 16, 30, TR("Show Logging Label"), TR("Show logging status label.")},
    {Color, 16, 23, TR("Safety Contour Colour"), TR("Safety Contour colour used in the 2D map view.")},
    {Bool, 16, 22, TR("Safety Contours Visibility"), TR("Visibility state of the Safety Contours in the view.")},
    {String, 16, 44, TR("QEL5 PC IP Address"), TR("Host IP address of the QEL5 PC.\nIP address of the host where QEL5 is running.")},

    {Group, 1, 77, TR("Planning and User objects "), TR("Planning and User objects related settings.")},
    {Bool, 16, 33, TR("Show planning objects"), TR("Show or hide planning objects.")},
    {Color, 16, 34, TR("Planned Line Colour"), TR("Planned Line colour used in the 2D map view.")},
    {Color, 16, 35, TR("Planned Polygon Colour"), TR("Planned Polygon colour used in the 2D map view.")},
    {Color, 16, 36, TR("Active Line Colour"), TR("Active Planned Line colour used in the 2D map view.")},
    {Color, 16, 37, TR("Line Start Colour"), TR("Planned Line Start point colour used in the 2D map view.")},
    {Color, 16, 38, TR("Line End Colour"), TR("Planned Line End point colour used in the 2D map view.")},
    {Color, 16, 39, TR("Active Line Start Colour"), TR("Active Planned Line Start point colour used in the 2D map view.")},
    {Color, 16, 40, TR("Active Line End Colour"), TR("Active Planned Line End point colour used in the 2D map view.")},
    {Color, 16, 41, TR("User def. points Colour"), TR("User defined point colour used in the 2D map view.")},
    {Color, 16, 42, TR("User def. line Colour"), TR("User defined line colour used in the 2D map view.")},
    {Color, 16, 43, TR("User def. poly Colour"), TR("User defined polygon colour used in the 2D map view.")},
};

} // namespace

CPropertiesSurvey::CPropertiesSurvey(QString strName, QObject* poParent) : CAppPropertiesNode(strName, poParent)
{
    addPropertyRows(this, "CPropertiesSurvey", s_aRows, int(std::size(s_aRows)));
    collapseAll();
    init();
}
