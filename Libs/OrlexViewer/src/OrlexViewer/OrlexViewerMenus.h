// The entries of the controller's context menus, worked out apart from showing them.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace orlex_menus {

// An entry and what it does; a separator has an empty text.
struct MenuEntry
{
    QString text;
    int action = 0;
    bool operator==(const MenuEntry& other) const { return text == other.text && action == other.action; }
};

// The planning menu by the class under the pointer (0 line, 5 polygon, -1 none), the library's
// selected-line count and the controller's line and polygon counts. Actions are planning-menu
// numbers.
std::vector<MenuEntry> planningEntries(int nClass, int nNumSelected, int nLineCount, int nPolygonCount, bool bPlanMode);

enum CalibAction { NewCorridor = 1, SelectLines, Calibrate };
std::vector<MenuEntry> calibEntries(int nDisplayMode);

enum GeneralAction { TogglePinging = 1, ToggleLogging, NewLine, MoveToVessel, ToggleFollow };
// Empty in display mode 3.
std::vector<MenuEntry> generalEntries(int nDisplayMode);

enum UserObjectAction { EditObject = 1, DeleteObject, OpenMedia, NewPoint, NewLineObject, NewPolygon, NewMarker,
                        EditNext, DeleteNext };
std::vector<MenuEntry> userObjectEntries(bool bOnObject);

// The plan-object class of a picked viewer id: 0 plan line, 5 plan polygon, 2 a vertex marker of
// a plan line, -1 none. nLineClass gives the library's class of a plan number.
template <typename F>
int pickedPlanClass(std::uint64_t nId, F nLineClass)
{
    std::uint64_t n = nId;
    int nOffset = 0;
    if (nId > 500000) {
        n = nId - 500000;
        nOffset = 2;
    } else if (nId > 400000) {
        n = (nId - 400000) / 1000;
        nOffset = 2;
    } else if (nId > 200000) {
        n = nId - 200000;
        nOffset = 2;
    } else if (nId > 100000) {
        n = nId - 100000;
        nOffset = 2;
    }
    const int nClass = nLineClass(n);
    // A vertex marker belongs to a plan line; anything else around it is no plan object.
    if (nOffset == 2)
        return nClass == 0 ? 2 : -1;
    return nClass;
}

} // namespace orlex_menus
