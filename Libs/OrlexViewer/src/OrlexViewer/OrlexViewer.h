// The 3-D view controller: the one object through which the application drives the viewer server
// and through which the server's events reach the application.
#pragma once

#include "OrlexQtClient/IMessageReceiver.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPair>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QLayout;
class QPushButton;
class QSize;
class QModelIndex;
class QStandardItemModel;
class QTimer;
class QVBoxLayout;
class QWidget;
class COrlexDataManager;
class COrlexObjs;
class COrlexGrid;
class CCalLinesDlg;
class CPlanningInterf;
class CShipModel;
class ColorMapDialog;

namespace Dremm::Orlex::QtClient {
class MessageClient;
class MessageDispatcher;
class OrlexHostWindow;
} // namespace Dremm::Orlex::QtClient

// One entry of the controller's object registry.
struct ViewerObjectInfo
{
    int kind = 0; // 0 vessel symbol, 1 survey grid terrain, 2 track line, 3 coverage line, 4 graticule
    QString name;
    bool highlighted = false;
};

// The viewer configuration: key to value, sent whole after every change.
using ViewerSettings = std::map<std::string, std::string>;

class COrlexViewer : public QObject, public Dremm::Orlex::QtClient::IMessageReceiver
{
    Q_OBJECT
public:
    using PositionData = ::Tavrin::Dremm::Orlex::PositionData;
    // The code of the link's own failure reports (reader or writer): the server is gone.
    static constexpr int kLinkFailureCode = 999;

    // The one controller, created by the first call with that pipe name; null once destroyed.
    static COrlexViewer* instance(const QString& strName);
    // Deletes the controller (once); instance() returns null from then on.
    static void destroyInstance();
    // The controller when it exists; never creates one.
    static COrlexViewer* existingInstance();

    COrlexViewer(QWidget* pParent, const QString& strPipeName);
    ~COrlexViewer() override;
    COrlexViewer(const COrlexViewer&) = delete;
    COrlexViewer& operator=(const COrlexViewer&) = delete;

    // The map-pane widget and its layout; the first call in the process builds the viewer.
    void setViewerParent(QWidget* pParent, QVBoxLayout* pLayout);
    // Starts the live view (camera, vessel, bindings, camera poll); once, with the display mode.
    void initViewer(int nMode);

    // How a new viewer server process is started when the link to the last one was lost; true
    // when one was started. Without a starter the server is expected to be started by others.
    static void setServerStarter(std::function<bool()> starter);
    // The link to the viewer server was lost and no new server has taken over yet.
    bool isViewerLost() const { return m_bViewerLost; }
    // Starts a new server, embeds its window in the map pane and shows there what the lost one
    // showed (surveys, rasters, user objects, vessels, graticule, camera); false, with the map
    // pane saying why, when that failed.
    bool restartViewer();
    // Creates the planning interface when there is none.
    void initPlanning(bool bMode);
    // Null until initPlanning.
    CPlanningInterf* getPlanningInterf() const { return m_pPlanning; }

    // The viewer server's resource folder, ending in a backslash.
    static std::string viewerResourcePath();
    void loadExtension(const QString& strName);
    // Water-column display (set-up, one ping, the pings shown): the server draws no water
    // column, so these leave the sample list as it is.
    void initWaterColumnDisplay() {}
    void setWaterColumnPing(int /*nFirst*/, int /*nSecond*/, float /*fValue*/, float /*fFurther1*/,
                            float /*fFurther2*/, const std::vector<float>& /*thresholds*/) {}
    void showWaterColumnPings(const QList<QByteArray>& /*lstSampleRefs*/, const QList<int>& /*lstThirds*/,
                              int /*nFirst*/, int /*nSecond*/, QList<QByteArray>& /*lstSamples*/,
                              int /*nZoomToPing*/) {}

    // Empty without a connection.
    std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> getDispatcher() const;
    COrlexDataManager* getDataManager() const { return m_pDataManager; }
    // Null before initViewer and for display modes other than 0 and 3.
    CShipModel* getShipModel() const { return m_pShipModel.get(); }
    // The controller's ship model for any thread (the runtime's receiving thread moves the
    // vessels with it); null before initViewer and once the controller is destroyed.
    static std::shared_ptr<CShipModel> liveShipModel();
    // Set by the ship model once the first vessel position (not the start-up placeholder) away
    // from the origin has arrived.
    void setVesselPositionArrived();
    bool hasVesselPosition() const { return m_bVesselPositionArrived; }

    // Registers a viewer object unless its id is registered already.
    void addObject(std::uint64_t nObjectId, ViewerObjectInfo info);
    // Destroys the object in the view, gives its id back and forgets it.
    void removeObject(std::uint64_t nObjectId);
    const std::map<std::uint64_t, ViewerObjectInfo>& getObjects() const { return m_objects; }

    // Camera.
    void moveToVessel(bool bFollow, int nMode);
    void moveToVesselPosition(bool bTakeOffset, const ::Tavrin::Dremm::Orlex::QueryNavigationStateResponseMessage* pAnswer);
    // Centres the vessel; while following, the vessel stays centred from here on. Nothing
    // before the first vessel position.
    void zoomToVessel();
    // A negative height is a scale denominator.
    void moveToArea(double dX, double dY, double dHeight);
    void resetView();
    // 0 north up, 1 vessel heading, 2 active plan-line heading, 3 the fixed angle (degrees).
    void rotateView(int nMode, int nAngle);
    void updateViewRotation();
    void setViewHeading(float fDegrees);
    void setViewHeadingAt(float fDegrees, int nX, int nY, int nHeight);
    void toggle3D(bool bOn);
    void toggleZoomToRegion(bool bOn);
    void zoomRectStart();
    // The camera position of the last navigation answer, metres.
    void getCenter(double& dX, double& dY) const;
    void hideLayer(const QString& strName);
    void showLayer(const QString& strName);
    void setS57MapVisibility(bool bOn);
    void setPlanVisibility(bool bOn);

    // Commands of the main window.
    // The safety-contour band (0 to fDepth) in the depth colour map of the open survey.
    void setSafetyContour(const QString& strSurveyPath, float fDepth, const QColor& oColour, bool bRemove);
    // Edits (nOpenDialog non-zero) or installs the colour map of a colour-mapping model entry.
    void openColorMap(const QModelIndex& oIndex, int nOpenDialog);
    // The tree of what can be coloured in each open survey, rebuilt on every call; the controller
    // keeps it.
    QStandardItemModel* getColorMappingModel();
    // Loads a GeoTIFF file as an overlay; unloads the overlay loaded from a path.
    void addTIFF(const QString& strPath, bool bInteractive);
    void removeTIFF(const QString& strPath);
    // "UTM<zone><N|S>_WGS84", "UTM<zone>N_NAD83", "MERCATOR_WGS84", or empty when the file's keys
    // give no projection the system can use.
    QString readGeoTiffProjection(const QString& strPath);
    // Writes that projection to the data folder's temporary projection file; false and a reason.
    bool writeProjectionFile(const QString& strProjection, QString& strError);
    // A new projection file: the graticule is pointed at it.
    void updateProj(const QString& strPath);
    // A background map from a terrain definition file on the layer "MAPS"; "REMOVE" removes the
    // current one.
    void addTerrainFromJson(const QString& strText);
    // User objects.
    // Creates the user-object library object once; every user-object operation calls it first.
    void initObjects();
    // Null before initObjects.
    COrlexObjs* getObjectLibrary() const { return m_pObjects.get(); }
    void readObjectsFromDatabase();
    void loadSavedPos();
    void removeAllObjects();
    void loadGeoJson(const QString& strPath);
    // "a,b,c[,L]": L "D" (or absent) longitude, latitude degrees; "P" east, north metres; "R"
    // latitude, longitude radians. c is the height. Creates the named object or moves it; beyond
    // kMaxDynamicObjects names the oldest object goes.
    void addDynamicObject(const QString& strName, const QString& strText);
    static constexpr int kMaxDynamicObjects = 256;
    // Appends the vessel's position to the data folder's "savedpos.txt" and marks it with a point.
    void savePosition();

    // The graticule, pointed at the data folder's projection file.
    void createGraticule();

    // Interaction modes and pointer read-outs (the map view's tool-bar actions).
    void enablePositionUnderCursor(bool bOn);
    void enableDepthUnderCursor(bool bOn);
    void toggleMeasDist(bool bOn);
    // nKind: -1 none, 0 line, 1 polygon.
    void togglePlanMode(bool bOn, int nKind);
    void toggleUserMode(bool bOn, int nKind);
    void togglePointSelection(bool bOn);
    void togglePositionSelect(bool bOn);
    void setInteractionActions(bool b3D);
    // The one overlay label naming the active mode: 0 planning, 1 calibrate, 2 measuring,
    // 3 objects, 4 none.
    void updateModeLabel(bool bOn, int nMode);
    // Sends the mode label with its last text at the bottom of the pane's current height.
    void placeModeLabel();
    // After a resize of the map pane: the logging label is placed again.
    void sizeChanged(const QSize& oSize);
    // "East/North: e, n" or "Lat/Lon: ..." in the graticule's format; whole metres in.
    QString getPositionString(int nEast, int nNorth);
    // Rebuilds the calibration corridor around the measured line with that width (metres).
    void setCorridorWidth(float fWidth);

    // Planning: plan-line edits, the runtime link's plan calls, line highlights.
    void moveLine(double dX, double dY);
    void movePoint(double dX, double dY);
    void deletePoint(double dX, double dY);
    void cancelMovePoint(int nVertexCount, std::vector<float>& initial, std::vector<float>& working);
    // (east, north) pairs; stored as a new line (id 0) or under the line's own id.
    void sendEditedLine(std::vector<float>& points, std::uint64_t nId);
    void sendNewPlanObject(bool bActivate);
    // -1 deactivates.
    void activatePlanLine(int nLineId);
    Q_INVOKABLE void openPlanJob(QString strJobName);
    void setLineHighlight(std::uint64_t nId, bool bHighlight, const QColor& oColor, int nWidth);
    // Selection of plan objects with a polygon, and by a list of names: the planning library
    // offers no such selection, so both do nothing.
    void selectTvgplObjects(QString strText);
    void setSelectTvgplPolygon(bool bOn);
    // Calibration (cross-line) mode.
    void toggleCalibMode(bool bOn);
    void selectCalLineItem();
    // Context menus; an id of 0 means none under the pointer.
    void showPlanningMenu(std::uint64_t nId);
    void showCalibMenu();
    void showGeneralMenu();
    void showUserObjectMenu(std::uint64_t nId);

    // Display settings of the map viewer.
    void set2DBackgroundColor(const QColor& oColor);
    void setGraticuleColor(const QColor& oColor);
    // 0 to 2 geographic label formats, 3 projected coordinates.
    void setGraticuleFormat(int nFormat);
    void setGraticuleVisibility(bool bVisible);
    // 0 north-west, 1 north-east, 2 south-east, 3 south-west.
    void setLightDirection(int nPreset);
    void setHighlightColor(const QColor& oColor);
    void setPlanColor(int nIndex, const QColor& oColor);
    void setShipColor(const QColor& oColor);
    void setCogVectorColor(const QColor& oColor);
    void setRealtimeTrackColor(const QColor& oColor);
    void setCogVectorVisLen(bool bVisible, int nMinutes, bool bLengthOnly);
    void setShowTrack(bool bOn);
    void setDepthTailCount(int nCount);
    void setDepthTailPntSize(int nSize);
    // Mode 2 shows the depth tail, every other mode hides it.
    void setDepthTailVisibility(int nMode, bool bApply);
    void toggleTailColor(bool bOn);
    void setLoggingLabelVisibility(bool bVisible);
    void setLoggingState(bool bOn);
    void updateCorvAddr(const QString& strAddress);
    // Consecutive X, Y, Z; a new buffer replaces the shown one.
    void showPointData(const std::vector<double>& points, bool bNewBuffer);
    void getLabelColors(QColor& oText, QColor& oBackground) const;
    void getLabelStyle(::Tavrin::Dremm::Orlex::LabelStyle& oStyle) const;

    // Called on the connection's reader thread: passes the message on to the GUI thread.
    void messageReceived(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage> message) override;

signals:
    void messageReceivedSignal(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage> message);
    void openSurveyCompletedSig(bool bValue, bool bIsRT);
    void scaleUpdated(int nScale);
    void startCalib(QStringList lines, QPoint& from, QPoint& to);
    void stopCalib();
    void measureDistance(QPoint& from, QPoint& to);
    void selectedPolygon(std::vector<::Tavrin::Dremm::Orlex::PositionData> points);
    void selectedPosition(double dX, double dY);
    void sigSetStatusText(QString strText, int nDly);
    void sigPlanToVessel(QString strPlanFile);
    void sigPlanToMain(QString strText);
    void sigTogPing();
    void sigTogLog();
    void sigNewLine();
    // An error report of the viewer link or the server: its text and code (999: the link failed).
    void viewerError(QString strMessage, int nCode);
    // A new viewer server shows the scene again after the link was lost.
    void viewerRestarted();
    // F1 was pressed in the viewer's window.
    void helpRequested();

public slots:
    // -1 zooms in one step, 1 zooms out one step, any other value N sets the scale 1:N.
    void setScale(int nInvScale);
    // Planning job commands: 20 open, 22 save, 23 save as, 26 clear.
    void planningMenuAction(int nAction);
    void sendProj();
    void slotPlanToMain(QString strText);
    // Start drawing a new object; the argument is not used.
    void newTVGPLLine(bool);
    void newUserLine(bool);
    void newUserPolygon(bool);
    void newUserPoint(bool);
    void newMarker(bool);
    void showGridLines(std::vector<float> northPoints, std::vector<float> eastPoints);
    void onMoveLine();
    void onMovePoint();
    void onDeletePoint();
    void selectCalLines();
    void calibTriggered(bool bOn);
    // Context-menu actions on the user object m_nSelectedObjectId.
    void deleteUserObj();
    void editUserObj();
    void viewUserObj();

private slots:
    void onErrorMessageReceived(const ::Tavrin::Dremm::Orlex::ErrorMessage* pMessage);
    void onHandshakeMessageReceived(const ::Tavrin::Dremm::Orlex::HandshakeMessage* pMessage);
    void onListObjectsResponseMessageReceived(const ::Tavrin::Dremm::Orlex::ListObjectsResponseMessage* pMessage);
    void onQueryObjectDistanceResponseMessageReceived(const ::Tavrin::Dremm::Orlex::QueryObjectDistanceResponseMessage* pMessage);
    void onTerminatedMessageReceived(const ::Tavrin::Dremm::Orlex::TerminatedMessage* pMessage);
    void onViewerDestroyedMessageReceived(const ::Tavrin::Dremm::Orlex::ViewerDestroyedMessage* pMessage);
    void onQueryNavigationRespMsgRcvd(const ::Tavrin::Dremm::Orlex::QueryNavigationStateResponseMessage* pMessage);
    void MouseEventMessageReceived(const ::Tavrin::Dremm::Orlex::MouseEventMessage* pMessage);
    void KeyboardEventMessageReceived(const ::Tavrin::Dremm::Orlex::KeyboardEventMessage* pMessage);
    void onMessageReceived(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage> message);
    void onCameraTimer();
    void onMouseMovedMessageReceived(const ::Tavrin::Dremm::Orlex::MouseMovedMessage* pMessage);
    void onMeasurementMessageReceived(const ::Tavrin::Dremm::Orlex::MeasurementMessage* pMessage);
    void onObjectPickedMessageReceived(const ::Tavrin::Dremm::Orlex::ObjectPickedMessage* pMessage);
    void onShowContextMenuMessageReceived(const ::Tavrin::Dremm::Orlex::ShowContextMenuMessage* pMessage);
    // Palette files into and out of the palette editor.
    void loadColorMap();
    void saveColorMap();

private:
    void initScenario();
    void createViewer(ViewerSettings settings, QWidget* pParent, QLayout* pLayout);
    // Opens the connection's threads and receivers on a client whose pipes are open.
    void attachClient();
    void sendLayers();
    // The map pane shows that the viewer is gone (with that text) instead of the view.
    void onViewerLinkLost(const QString& strReason);
    void showLostPanel(const QString& strText, bool bOfferRestart);
    // What a lost server showed, by the names and settings the program keeps.
    struct SceneShown {
        struct Survey {
            QString path;
            QString terrainName;
            bool bRealTime = false;
        };
        QList<Survey> surveys;
        QString strActiveSurvey;
        QList<QPair<QString, double>> rasters; // path, height
        QString strBackgroundMap;
    };
    // Forgets the lost server's window, connection and objects (the ids go back to the
    // allocator) and returns what it showed.
    SceneShown releaseLostViewer();
    // Shows that on the new server.
    void restoreScene(const SceneShown& scene);

    void HandleStaticMethoInfoMessage(const ::Tavrin::Dremm::Orlex::Extensions::Quennet::SurveyStaticMetaInfoMessage& message);
    void HandleExtentUpdatedMessage(const ::Tavrin::Dremm::Orlex::Extensions::Quennet::SurveyExtentUpdatedMessage& message);
    // The raster source and image terrain of a GeoTIFF at that height; registered as an overlay.
    void sendRaster(const QString& strPath, double dHeight);
    void HandleRasterCreatedMessage(const ::Tavrin::Dremm::Orlex::RasterCreatedMessage& message);
    void refreshTailColors();

    // The host window's viewer id; 0 before there is one.
    std::int32_t viewerId() const;
    void sendViewerSettings();
    void setObjectVisibility(std::uint64_t nObjectId, bool bVisible);
    void sendLayerVisibility(const QString& strName, bool bVisible);
    // ProjectionMode 1 (2-D) with the dolly off, or 0 (3-D) with it on.
    void sendProjectionMode(int nProjectionMode);
    // The camera at that height over (x, y), looking at (x, y, 0); with a viewport height when
    // one above 0 is given.
    void sendCameraOver(double dX, double dY, double dHeight, std::int32_t nViewerId, double dViewportHeight = 0);
    // The centre of the open surveys' extents and a viewport height that shows them whole;
    // false when no open survey has reported its extent.
    bool openSurveysFrame(double& dCenterX, double& dCenterY, double& dHeight) const;
    // The vessel's position (centimetres) as the camera moves use it; false before the first
    // vessel position.
    bool vesselPositionForCamera(int& nEast, int& nNorth) const;
    template <typename T>
    void send(const T& payload) const;

    // Modes, read-outs and measuring.
    void sendInteractionMode(int nMode);
    void setNotifyMouseMove(bool bOn);
    // Destroys a label or object of ours in the view and gives its id back; the id becomes 0.
    void destroyOwnObject(std::uint64_t& nId);
    // The distance label between two view positions; its id.
    std::uint64_t createDistanceLabel(const PositionData& oFrom, const PositionData& oTo);
    void showReadout(const ::Tavrin::Dremm::Orlex::MouseMovedMessage& message);
    // The zoom rectangle's first corner, shown there at a tiny size.
    void placeZoomRectCorner(const PositionData& oPos);
    void endMeasurement(const ::Tavrin::Dremm::Orlex::MeasurementMessage& message);
    void buildCorridor(float fWidth);
    void removeCorridor();
    // Forgets the corridor once the operator removed it as a user object: its id may be reused.
    void forgetRemovedCorridor();
    // A dynamic object the operator deleted is no longer counted.
    void forgetDynamicObject(std::uint64_t nId);
    void sendGraticuleSettings();
    void sendLoggingLabel(bool bCreate);
    // Work of later features that the read-outs start.
    // A user object of kind m_nNewObjectKind from m_planPoints (bStore: kept in the database);
    // its id, 0 when none was made. m_planPoints is emptied.
    std::uint64_t addUserObject(bool bStore);
    // Picks and menus on user objects: nRequest 0 selects, 1 deletes, 2 edits.
    void userObjectPicked(std::uint64_t nId, const PositionData& oPos, int nRequest);
    bool userObjectUnder(std::uint64_t nId);
    // 1 edit, 2 delete, 3 open media of m_nSelectedObjectId.
    void userObjectMenuCommand(int nCommand);
    // Longitude, latitude pairs.
    void addMarkerPoints(std::vector<float>& lonLat);

    int m_nMode = 0;
    Dremm::Orlex::QtClient::OrlexHostWindow* m_pHostWindow = nullptr;
    std::shared_ptr<Dremm::Orlex::QtClient::MessageClient> m_pClient;
    ViewerSettings m_viewerSettings;
    COrlexDataManager* m_pDataManager = nullptr;
    QWidget* m_pParentWidget = nullptr;
    QVBoxLayout* m_pParentLayout = nullptr;
    QStandardItemModel* m_pColorMappingModel = nullptr;
    ColorMapDialog* m_pColorMapDialog = nullptr;
    // One for the controller's life: a later initViewer keeps it.
    std::shared_ptr<CShipModel> m_pShipModel;
    QTimer* m_pTailColorTimer = nullptr;
    double m_dLastGridRefX = 0;
    double m_dLastGridRefY = 0;
    std::map<std::uint64_t, ViewerObjectInfo> m_objects;
    std::vector<::Tavrin::Dremm::Orlex::LayerData> m_layers;
    QColor m_highlightColor{QStringLiteral("yellow")};
    double m_dCameraDistance = 1000.0;
    int m_nScale = 0;
    COrlexGrid* m_pCurrentGrid = nullptr;
    double m_dExtentCenterX = 0;
    double m_dExtentCenterY = 0;
    double m_dExtentHeight = 10000.0;
    // The last extent (min X, min Y, max X, max Y) each survey terrain reported.
    std::map<std::uint64_t, std::array<double, 4>> m_surveyExtents;
    bool m_bFollowVessel = false;
    int m_nRotateMode = 0;
    int m_nFixedHeading = 0;
    bool m_bPlanMode = false;
    bool m_bMeasActive = false;
    bool m_bCalibMode = false;
    bool m_bUserMode = false;
    bool m_bPointSelection = false;
    bool m_bZoomRectActive = false;
    bool m_bZoomToRegion = false;
    bool m_b3D = false;
    std::uint64_t m_nDrawLineId = 0;
    std::uint64_t m_nZoomRectId = 0;
    bool m_bZoomRectStarted = false;
    PositionData m_zoomRectStart;
    ::Tavrin::Dremm::Orlex::CameraStateData m_cameraState;
    CPlanningInterf* m_pPlanning = nullptr;
    QTimer* m_pCameraTimer = nullptr;
    bool m_bScaleFromToolbar = false;
    std::uint64_t m_nGraticuleId = 0;
    int m_nGraticuleFormat = 0;
    int m_nGraticuleUnit = 0;
    std::optional<std::string> m_graticuleProj;
    ::Tavrin::Dremm::Orlex::Color m_graticuleColor1;
    ::Tavrin::Dremm::Orlex::Color m_graticuleColor2;
    ::Tavrin::Dremm::Orlex::Color m_graticuleColor3;
    float m_fScreenWidthCm = 0;
    float m_fScreenHeightCm = 0;
    int m_nScreenWidthPx = 0;
    int m_nScreenHeightPx = 0;
    double m_dZRangeHalf = 0;
    double m_dViewHeight = 0;
    int m_nFollowMode = 0;
    std::string m_strTiffPath;
    bool m_bTiffAskMove = false;
    std::uint64_t m_nPointBufferId = 0;
    // The background map layer's object id; 0 when none.
    std::uint64_t m_nBackgroundMapId = 0;
    bool m_bVesselPositionArrived = false;

    // The viewer link and its loss.
    QString m_strPipeName;
    bool m_bViewerLost = false;
    QWidget* m_pLostPanel = nullptr;
    QLabel* m_pLostText = nullptr;
    QPushButton* m_pRestartButton = nullptr;
    bool m_bObjectsFromDatabase = false;
    bool m_bSavedPositionsShown = false;
    QString m_strBackgroundMap;

    // Modes, read-outs and measuring.
    bool m_bPositionUnderCursor = false;
    bool m_bDepthUnderCursor = false;
    bool m_bPositionSelect = false;
    bool m_bMeasuring = false;
    bool m_bMoveLinePending = false;
    bool m_bMovePointPending = false;
    bool m_bDeletePointPending = false;
    int m_nSelectedLineCount = 0;
    int m_nSelectedPolygonCount = 0;
    int m_nNewObjectKind = -1;
    PositionData m_measureStart;
    std::uint64_t m_nMeasureObjectId = 0;
    std::uint64_t m_nMeasureLabelId = 0;
    std::uint64_t m_nMeasureResultLabelId = 0;
    std::uint64_t m_nSelectedPointId = 0;
    std::uint64_t m_nCorridorId = 0;
    std::vector<PositionData> m_planPoints;
    std::vector<PositionData> m_corridorPoints;

    // Planning and calibration.
    // -1 prepare, 0 started, 1 dragging, 2 finish, any other value cancel.
    int m_nEditState = 0;
    std::uint64_t m_nSelectedObjectId = 0;
    std::uint64_t m_nSelectedLineId = 0;
    bool m_bCalibActive = false;
    bool m_bDeleteUserObjPending = false;
    bool m_bEditUserObjPending = false;
    CCalLinesDlg* m_pCalLinesDlg = nullptr;
    // The edits' buffers: working and initial copies of the line's (east, north) pairs.
    struct LineMoveBuffer {
        std::vector<float> working;
        std::vector<float> initial;
        double dLastX = 0;
        double dLastY = 0;
    } m_lineMove;
    struct PointMoveBuffer {
        std::vector<float> working;
        std::vector<float> initial;
        int nLine = -1;
        int nIndex = -1;
        double dLastX = 0;
        double dLastY = 0;
        bool bFirstMoveSeen = false;
    } m_pointMove;
    struct PointDeleteBuffer {
        std::vector<float> working;
        int nLine = -1;
    } m_pointDelete;
    // User objects.
    std::shared_ptr<COrlexObjs> m_pObjects;
    // Dynamic objects by name and id, oldest first.
    std::vector<std::pair<QString, std::uint64_t>> m_dynamicObjects;
    bool m_bDynamicCapLogged = false;

    // Display settings.
    QColor m_backgroundColor;
    QColor m_labelColor;
    std::uint64_t m_nLoggingLabelId = 0;
    bool m_bLoggingOn = false;
    bool m_bLoggingLabelVisible = false;
    ::Tavrin::Dremm::Orlex::Extensions::Quennet::PointBufferSettings m_pointBufferSettings;
    int m_nPointSize = 2;
    std::uint64_t m_nTailLegendId = 0;
};
