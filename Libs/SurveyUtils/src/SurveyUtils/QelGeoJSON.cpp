#include "SurveyUtils/QelGeoJSON.h"

#include <atomic>

namespace {
std::atomic<int> g_nNextSerial{0};
} // namespace

CQelGeoJSON::CQelGeoJSON()
    : m_nSerial(g_nNextSerial.fetch_add(1))
{
}

CQelGeoJSON::~CQelGeoJSON() = default;
