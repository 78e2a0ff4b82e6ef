#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "colour/curve_set.h"
#include "fake_host.h"
#include "host/filter_table.h"
#include "stages/stage_table.h"

namespace tonalith {
namespace {

template <typename T>
T ReadAt(const FilterTable* table, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(table) + offset, sizeof(T));
    return value;
}

TEST(FilterTable, SameAddressOnEveryCall) { EXPECT_EQ(GetFilterTable(), GetFilterTable()); }

TEST(FilterTable, DescribesTheFilter) {
    const FilterTable* t = GetFilterTable();
    EXPECT_EQ(t->flags, 0x44400u);
    EXPECT_EQ(t->windowWidth, 430);
    EXPECT_EQ(t->windowHeight, 445);
    EXPECT_STREQ(t->name, "Tonalith");
    EXPECT_EQ(t->trackCount, 16);
    EXPECT_EQ(t->checkCount, 1);
    // Shift-JIS "(lower),(upper)の同期"
    EXPECT_STREQ(t->checkNames[0], "(lower),(upper)\x82\xcc\x93\xaf\x8a\xfa");
    EXPECT_EQ(t->checkDefaults[0], 1);
    EXPECT_EQ(t->extraDataSize, 680);
    EXPECT_EQ(t->extraData, static_cast<void*>(&staticPluginState.stageTable));
    EXPECT_NE(t->information, nullptr);
    EXPECT_EQ(std::string(t->information).rfind("Tonalith", 0), 0u);
    EXPECT_NE(t->processCallback, nullptr);
    EXPECT_NE(t->initCallback, nullptr);
    EXPECT_NE(t->exitCallback, nullptr);
    EXPECT_NE(t->updateCallback, nullptr);
    EXPECT_NE(t->windowProcedure, nullptr);
    // Host-filled fields are zero in the plug-in's own table.
    EXPECT_EQ(t->trackValues, nullptr);
    EXPECT_EQ(t->checkValues, nullptr);
    EXPECT_EQ(t->hostFunctions, nullptr);
    EXPECT_EQ(t->instanceHandle, nullptr);
    EXPECT_EQ(t->hostSlot88, 0);
    EXPECT_EQ(t->hostSlot92, 0);
    EXPECT_EQ(t->hostSlot100, 0);
    for (int32_t slot : t->hostSlots108) EXPECT_EQ(slot, 0);
}

TEST(FilterTable, TrackRanges) {
    const FilterTable* t = GetFilterTable();
    for (int i = 0; i < 16; ++i) {
        const bool wide = i == 0 || i == 1 || i == 9;
        EXPECT_EQ(t->trackMinimums[i], wide ? -360 : -256) << i;
        EXPECT_EQ(t->trackMaximums[i], wide ? 360 : 256) << i;
        EXPECT_EQ(t->trackDefaults[i], 0) << i;
        EXPECT_STREQ(t->trackNames[i], "") << i;
    }
}

#if UINTPTR_MAX == 0xFFFFFFFFu
// On 32-bit targets the record is the host's, byte for byte: read it as raw little-endian words.
TEST(FilterTable, ByteLayoutOn32Bit) {
    const FilterTable* t = GetFilterTable();
    ASSERT_EQ(sizeof(FilterTable), 140u);
    EXPECT_EQ(ReadAt<uint32_t>(t, 0), 279552u);
    EXPECT_EQ(ReadAt<int32_t>(t, 4), 430);
    EXPECT_EQ(ReadAt<int32_t>(t, 8), 445);
    EXPECT_STREQ(ReadAt<const char*>(t, 12), "Tonalith");
    EXPECT_EQ(ReadAt<int32_t>(t, 16), 16);
    EXPECT_EQ(ReadAt<const int32_t*>(t, 28)[9], -360);
    EXPECT_EQ(ReadAt<const int32_t*>(t, 32)[8], 256);
    EXPECT_EQ(ReadAt<int32_t>(t, 36), 1);
    EXPECT_EQ(ReadAt<const int32_t*>(t, 44)[0], 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadAt<void*>(t, 48)),
              reinterpret_cast<uintptr_t>(t->processCallback));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(ReadAt<void*>(t, 64)),
              reinterpret_cast<uintptr_t>(t->windowProcedure));
    EXPECT_EQ(ReadAt<void*>(t, 76), static_cast<void*>(&staticPluginState.stageTable));
    EXPECT_EQ(ReadAt<int32_t>(t, 80), 680);
    EXPECT_EQ(ReadAt<const char*>(t, 84), t->information);
    for (size_t offset : {68u, 72u, 88u, 92u, 96u, 100u, 104u}) EXPECT_EQ(ReadAt<int32_t>(t, offset), 0);
    for (size_t offset = 108; offset < 140; offset += 4) EXPECT_EQ(ReadAt<int32_t>(t, offset), 0);
}
#endif

TEST(Callbacks, InitExitUpdateReturnOne) {
    testing::FakeHost host;
    EXPECT_EQ(host.record.initCallback(&host.record), 1);
    EXPECT_EQ(host.Update(), 1);
    EXPECT_EQ(host.record.exitCallback(&host.record), 1);
}

TEST(Callbacks, ExitForgetsTheCurveSetAndALaterUpdateRebuildsIt) {
    testing::FakeHost host;
    host.Update();
    ASSERT_TRUE(staticPluginState.curves.built);
    host.record.exitCallback(&host.record);
    EXPECT_FALSE(staticPluginState.curves.built);
    EXPECT_EQ(staticPluginState.curves.rgbCurves, nullptr);
    EXPECT_EQ(staticPluginState.curves.saturationCurves, nullptr);
    // A second exit frees nothing twice; a later update builds from nothing.
    host.record.exitCallback(&host.record);
    host.Update();
    EXPECT_TRUE(staticPluginState.curves.built);
    EXPECT_TRUE(CurvesMatchChain(staticPluginState));
}

TEST(Callbacks, UpdateStoresTheHostsTracksIntoTheCurrentStage) {
    testing::FakeHost host;
    staticPluginState.chain.stageCount = 3;
    staticPluginState.chain.currentStage = 1;
    host.checkValues[0] = 0;
    for (int i = 0; i < 16; ++i) host.trackValues[i] = i * 3 - 20;
    host.Update();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(staticPluginState.stageTable.stages[1].tracks[i], host.trackValues[i]) << i;
        EXPECT_EQ(staticPluginState.stageTable.stages[0].tracks[i], 0);
    }
    // Clamping always tells the host once, even when nothing changed.
    EXPECT_GE(host.CallsStartingWith("RefreshTracks").size(), 1u);
}

TEST(Callbacks, ProcessReturnsOneAndReadsOnlyTheRecordItIsHanded) {
    testing::FakeHost host;
    host.record.initCallback(&host.record);
    testing::TestFrame frame(4, 2, 4);
    frame.FillPattern();
    EXPECT_EQ(host.Process(frame.record), 1);
    // The plug-in reached the host through the handed record's service table.
    EXPECT_FALSE(host.CallsStartingWith("GetFileInfo").empty());
}

}  // namespace
}  // namespace tonalith
