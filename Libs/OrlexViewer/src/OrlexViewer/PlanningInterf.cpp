#include "OrlexViewer/PlanningInterf.h"

CPlanningInterf::CPlanningInterf(bool bMode) : m_bMode(bMode) {}

CPlanningInterf::~CPlanningInterf() = default;

int CPlanningInterf::getActiveLineHeading() const
{
    return -1;
}
