// The station data module of the map dialog: names and coordinates of the
// station table by station index.
#pragma once

#include <QObject>

#include "vorbel/Stations.h"

class VORBEL_API TAMeDAS : public QObject {
public:
    explicit TAMeDAS(QObject* owner);
    ~TAMeDAS() override;

    // Index 0..Count() - 1; outside it a null text or 0.0. Texts are the
    // table's own code page 932 bytes, not copies.
    const char* GetName(int index) const;
    const char* GetPron(int index) const;
    const char* GetYomi(int index) const;
    double GetLatitude(int index) const;
    double GetLongitude(int index) const;

    int Count() const { return count_; }

private:
    void AMeDASCreate();
    void AMeDASDestroy();
    const StationRecord* Row(int index) const;

    const StationRecord* table_ = nullptr;
    int count_ = 0;
};
