// Rerouting TextOutA through the executable's import address table.
#include "text_out_recorder.h"

#include <cstring>

namespace textout {

namespace {

using TextOutFunction = BOOL(WINAPI*)(HDC, int, int, LPCSTR, int);
TextOutFunction realTextOut = nullptr;

BOOL WINAPI RecordingTextOut(HDC dc, int x, int y, LPCSTR text, int length) {
    LOGFONTA font{};
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
    Calls().push_back({x, y, std::string(text, length > 0 ? length : 0), GetTextColor(dc),
                       font.lfHeight, GetBkMode(dc)});
    return realTextOut(dc, x, y, text, length);
}

// The import slot of `function` from `dll` in this executable.
ULONG_PTR* ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; module->Name; ++module) {
        if (_stricmp(reinterpret_cast<char*>(base + module->Name), dll) != 0) continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

bool Install() {
    if (realTextOut) return true;
    ULONG_PTR* slot = ImportSlot("gdi32.dll", "TextOutA");
    if (!slot) return false;
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    realTextOut = reinterpret_cast<TextOutFunction>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(&RecordingTextOut);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return true;
}

std::vector<Call>& Calls() {
    static std::vector<Call> calls;
    return calls;
}

}  // namespace textout
