#include "Orvessa.h"

#include "TestCase.h"
#include "WindowRules.h"

namespace driver {

int NoSuchControl() {
    return 0;
}

const ControlDescription* RowOf(int id) {
    const int index = id - ControlWindowId(0);
    if (index < 0 || index >= static_cast<int>(kMainControls.size())) return nullptr;
    return &kMainControls[static_cast<size_t>(index)];
}

std::wstring WideOf(const char* text) {
    const int length = lstrlenA(text);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(936, 0, text, length, wide.data(), length)));
    return wide;
}

std::wstring ControlName(int id) {
    const ControlDescription* row = RowOf(id);
    return row ? Cat(WideOf(row->name), L" (", id, L")") : Cat(L"control ", id);
}

namespace {

TabOrder DescribedCycle() {
    TabOrder cycle;
    for (const int32_t index : DescribedTabList(MainWindowLayout)) cycle.ids.push_back(ControlWindowId(index));
    return cycle;
}

} // namespace

const TabOrder kTabCycle = DescribedCycle();
const int kTabStops = static_cast<int>(kTabCycle.ids.size());

} // namespace driver
