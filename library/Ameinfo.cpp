#include "Ameinfo.h"

#include "vorbel/MapDialog.h"

TAMeDAS::TAMeDAS(QObject* owner) : QObject(owner) {
    setObjectName("AMeDAS");
    AMeDASCreate();
}

TAMeDAS::~TAMeDAS() { AMeDASDestroy(); }

void TAMeDAS::AMeDASCreate() {
    table_ = _AMeDASItems;
    count_ = AMeDASCount;
}

void TAMeDAS::AMeDASDestroy() {
    table_ = nullptr;
    count_ = 0;
    // The exported slot must not outlive the module it points to.
    if (_AMeDAS == this) _AMeDAS = nullptr;
}

const StationRecord* TAMeDAS::Row(int index) const {
    return index >= 0 && index < count_ ? &table_[index] : nullptr;
}

const char* TAMeDAS::GetName(int index) const { return Row(index) ? Row(index)->Name : nullptr; }
const char* TAMeDAS::GetPron(int index) const { return Row(index) ? Row(index)->Pron : nullptr; }
const char* TAMeDAS::GetYomi(int index) const { return Row(index) ? Row(index)->Yomi : nullptr; }
double TAMeDAS::GetLatitude(int index) const { return Row(index) ? GetAMeDASLatitude(index) : 0.0; }
double TAMeDAS::GetLongitude(int index) const { return Row(index) ? GetAMeDASLongitude(index) : 0.0; }
