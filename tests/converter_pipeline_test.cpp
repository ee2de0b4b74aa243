// The three cores in a row on the real Kanto sample map with the real
// station table (bound from libvorbel.so by name, as the converter binds
// it), each file compared with the plain reference's bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PlainReference.h"
#include "TestSupport.h"
#include "core/AmeCore.h"
#include "core/BmpCore.h"
#include "core/CfgCore.h"
#include "core/Stations.h"
#include "platform/Module.h"

using namespace strova;
using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

StationAccessors BindLibrary() {
    platform::ModuleHandle library = platform::LoadModule(testing_support::BinDir() + "/libvorbel.so");
    EXPECT_NE(library, nullptr) << platform::LastLoadError();
    return strova::BindStationAccessors([library](const char* name) { return platform::ResolveSymbol(library, name); });
}

}  // namespace

TEST(Pipeline, KantoSampleMatchesThePlainSteps) {
    TempDir dir;
    const std::string bitmap = testing_support::SourceDir() + "/resources/maps/kanto_sample.bmp";
    BmpReader reader(bitmap);
    ASSERT_EQ(reader.ScanGrayPixels(dir.file("tmp.loc"), NoProgress()), BmpError::None);
    std::uint32_t plainGray = 0;
    ASSERT_TRUE(plain::ScanGrayPixels(bitmap, dir.file("plain.loc"), plainGray));
    ASSERT_EQ(ReadFile(dir.file("tmp.loc")), ReadFile(dir.file("plain.loc")));
    ASSERT_GT(reader.GrayCount(), 0u);

    const MapConfig map{138.4, 34.8, 141.0, 37.2, reader.InfoHeader().biWidth, reader.InfoHeader().biHeight};
    const std::vector<AmeRecord> stations = LoadLibraryStations(BindLibrary(), map);
    ASSERT_GT(stations.size(), 50u);
    FilePtr tmp(std::fopen(dir.file("tmp.loc").c_str(), "rb"));
    const auto placement = PlaceStations(tmp.get(), reader.GrayCount(), stations);
    ASSERT_TRUE(placement);
    const std::string pixels = ReadFile(dir.file("tmp.loc"));
    std::vector<PixelRecord> records(pixels.size() / 8);
    std::memcpy(records.data(), pixels.data(), pixels.size());
    int plainInternal = 0;
    const auto expected = plain::PlaceStations(records, stations, plainInternal);
    EXPECT_EQ(placement->internalCount, plainInternal);
    EXPECT_GT(placement->internalCount, 0);
    EXPECT_GT(placement->additionalCount(), 0);
    ASSERT_EQ(placement->selected.size(), expected.size());
    ASSERT_EQ(0, std::memcmp(placement->selected.data(), expected.data(), expected.size() * sizeof(AmeRecord)));

    FilePtr ame(std::fopen(dir.file("kanto.ame").c_str(), "wb"));
    ASSERT_TRUE(WriteAmeFile(ame.get(), placement->selected));
    ame.reset();
    StepTransaction files({{dir.file("kanto.cfg"), ""}});
    ASSERT_FALSE(files.Begin().Failed());
    CfgRun run(dir.file("kanto.ame"), dir.file("kanto.cfg"), dir.file("tmp.loc"),
               static_cast<int>(placement->selected.size()), reader.GrayCount(), files);
    ASSERT_EQ(run.FindAdjacentStations(NoProgress()), CfgError::None);
    ASSERT_TRUE(plain::WriteCfg(expected, dir.file("tmp.loc"), dir.file("plain.cfg")));
    EXPECT_EQ(ReadFile(dir.file("kanto.cfg")), ReadFile(dir.file("plain.cfg")));
}
