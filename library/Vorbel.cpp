// The library's entry routine and the station accessors.
#include "Library.h"

#include <cmath>
#include <cstring>

#include "platform/Module.h"
#include "vorbel/Stations.h"

static_assert(sizeof(void*) == 4 ? sizeof(StationRecord) == 47 : sizeof(StationRecord) == 15 + 8 * sizeof(void*));

extern "C" const StationRecord _AMeDASItems[AMeDASCount] = {
#include "StationTable.inc"
};

namespace vorbel {

namespace {
void* moduleHandle = nullptr;
// Any length: this platform's paths have no 260-byte limit. Made on first
// use, as the entry routine may run before the library's other globals are.
std::string& Folder() {
    static std::string folder;
    return folder;
}

bool InRange(int index) { return index >= 0 && index < AMeDASCount; }

char* CopyText(int index, const char* StationRecord::*field, char* buffer) {
    if (!InRange(index)) {
        buffer[0] = '\0';
        return buffer;
    }
    // Rows are packed, so the text pointer may lie at any address: copy it
    // out bytewise rather than load it as an aligned pointer.
    const char* text;
    std::memcpy(&text, &(_AMeDASItems[index].*field), sizeof text);
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return buffer;
}

// The packed angle's whole degrees: v * 0.001 truncated toward zero, with the
// constant held in extended precision so that every whole-degree value lands
// exactly on its integer.
int WholeDegrees(std::int32_t packed) { return static_cast<int>(static_cast<long double>(packed) * 0.001L); }

double Decimal(std::int32_t packed) {
    int degrees = WholeDegrees(packed);
    // The minutes term is formed in extended precision and rounded to double
    // before the sum.
    double minutes = static_cast<double>(static_cast<long double>(packed - 1000 * degrees) * (1.0L / 600.0L));
    return degrees + minutes;
}

DegMinSec Sexagesimal(std::int32_t packed) {
    return {WholeDegrees(packed), (packed % 1000) / 10, (packed % 10) * 6};
}

// Run by the loader when the library is mapped, before any export is called.
__attribute__((constructor)) void OnLoad() {
    DllEntryPoint(platform::HandleOfModule(reinterpret_cast<const void*>(&OnLoad)), 1, nullptr);
}

}  // namespace

const char* LibraryFolder() { return Folder().c_str(); }

std::string FolderOfModule(const std::string& modulePath) {
    auto cut = modulePath.find_last_of('/');
    return cut == std::string::npos ? std::string() : modulePath.substr(0, cut + 1);
}

}  // namespace vorbel

using vorbel::InRange;

extern "C" {

int DllEntryPoint(void* instance, std::uint32_t, void*) {
    vorbel::moduleHandle = instance;
    // Read once, at load time: a library opened by a relative path is found
    // from the folder current then, and later calls must give the same folder.
    static const std::string path = platform::ModulePathOf(reinterpret_cast<const void*>(&DllEntryPoint));
    vorbel::Folder() = vorbel::FolderOfModule(path);
    return 1;
}

void* _GetVorbelDLLInst() { return vorbel::moduleHandle; }

int GetMaxAMeDAS() { return AMeDASCount; }
int GetAMeDASVolume(int index) { return InRange(index) ? _AMeDASItems[index].Volume : 0; }
int GetAMeDASID(int index) { return InRange(index) ? _AMeDASItems[index].ID : 0; }

char* GetAMeDASName(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::Name, buffer); }
char* GetAMeDASPron(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::Pron, buffer); }
char* GetAMeDASYomi(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::Yomi, buffer); }
char* GetAMeDASBelong(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::Belong, buffer); }
char* GetAMeDASBelongPron(int index, char* buffer) {
    return vorbel::CopyText(index, &StationRecord::BelongPron, buffer);
}
char* GetAMeDASBelongYomi(int index, char* buffer) {
    return vorbel::CopyText(index, &StationRecord::BelongYomi, buffer);
}
char* GetFirstDate(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::FirstDate, buffer); }
char* GetLastDate(int index, char* buffer) { return vorbel::CopyText(index, &StationRecord::LastDate, buffer); }

double GetAMeDASLatitude(int index) { return InRange(index) ? vorbel::Decimal(_AMeDASItems[index].Latitude) : 0.0; }
double GetAMeDASLongitude(int index) {
    return InRange(index) ? vorbel::Decimal(_AMeDASItems[index].Longitude) : 0.0;
}
DegMinSec GetAMeDASLatit60(int index) {
    return InRange(index) ? vorbel::Sexagesimal(_AMeDASItems[index].Latitude) : DegMinSec{0, 0, 0};
}
DegMinSec GetAMeDASLongit60(int index) {
    return InRange(index) ? vorbel::Sexagesimal(_AMeDASItems[index].Longitude) : DegMinSec{0, 0, 0};
}
double GetAMeDASHeight(int index) { return InRange(index) ? _AMeDASItems[index].Height : 0.0; }
// The product is formed in extended precision and rounded once, so 66 gives
// the double nearest 6.6 rather than 6.6000000000000005.
double GetAMeDASWindLevelOld(int index) {
    return InRange(index) ? static_cast<double>(_AMeDASItems[index].WindLevelOld * 0.1L) : 0.0;
}
double GetAMeDASWindLevel(int index) { return InRange(index) ? 6.5 : 0.0; }

}  // extern "C"
