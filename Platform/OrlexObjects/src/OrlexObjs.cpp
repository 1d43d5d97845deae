#include "OrlexObjs.h"

class COrlexObjsPrivate
{
public:
    std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher;
    CProjection* pProjection = nullptr;
};

COrlexObjs::COrlexObjs(QObject* pParent) : QObject(pParent), d(std::make_unique<COrlexObjsPrivate>()) {}

COrlexObjs::~COrlexObjs() = default;

void COrlexObjs::setDispatcher(std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher)
{
    d->pDispatcher = std::move(pDispatcher);
}

void COrlexObjs::setProjection(CProjection* pProjection) { d->pProjection = pProjection; }

bool COrlexObjs::addFromDatabase() { return false; }
bool COrlexObjs::readGeoJsonFile(const QString&) { return false; }
bool COrlexObjs::loadSavedPos() { return false; }
bool COrlexObjs::removeAll() { return false; }

std::uint64_t COrlexObjs::newDremmLine(const std::vector<float>&, std::uint64_t, bool, const QString&, int) { return 0; }
std::uint64_t COrlexObjs::newDremmPolygon(const std::vector<float>&, std::uint64_t, bool, const QString&, int) { return 0; }
std::uint64_t COrlexObjs::newDremmPoint(const std::vector<float>&, bool, std::uint64_t, bool, const QString&, double) { return 0; }
std::uint64_t COrlexObjs::addMarker(const std::vector<float>&) { return 0; }
std::uint64_t COrlexObjs::updateDynObj(std::string, SDynObj) { return 0; }
bool COrlexObjs::deleteObj(std::uint64_t, bool, bool) { return false; }
bool COrlexObjs::editObject(std::uint64_t) { return false; }
bool COrlexObjs::viewObject(std::uint64_t) { return false; }
bool COrlexObjs::selectedObject(std::uint64_t, int, int) { return false; }
bool COrlexObjs::isPlanObject(std::uint64_t) const { return false; }
void COrlexObjs::setColor(int, const QColor&) {}

bool COrlexObjs::setCorridorWidth(const std::vector<int>&, float, std::vector<QPoint>&) { return false; }
