// Settings travel through the host's chunk calls: what one instance hands over,
// another restores exactly, and malformed requests restore nothing.
#include "HostTest.h"

#include <algorithm>
#include <string>

namespace vsthost
{
namespace
{
using ChunkTest = HostTest;

void setDistinctValues (const PluginInstance& plugin)
{
    const float values[] = { 0.3f, 0.9f, 0.61f, 0.125f, 0.77f, 0.2f, 0.45f, 1.0f };
    for (int i = 0; i < 8; ++i)
        plugin.setParameter (i, values[i]);
}

TEST_F (ChunkTest, TheChunkHoldsTheSettingsElement)
{
    PluginInstance plugin;
    const auto bytes = plugin.chunk();
    ASSERT_FALSE (bytes.empty());
    const std::string text (bytes.begin(), bytes.end());
    EXPECT_NE (text.find ("<VeskCompSettings"), std::string::npos);
    EXPECT_EQ (text.find ("<?xml"), std::string::npos);
    EXPECT_EQ (plugin.chunk (1), bytes) << "program and bank chunks are the same";
}

TEST_F (ChunkTest, RepeatedRequestsReplaceTheBlockWithTheSameBytes)
{
    PluginInstance plugin;
    setDistinctValues (plugin);

    void* first = nullptr;
    const auto firstSize = plugin.dispatch (effGetChunk, 0, 0, &first);
    ASSERT_NE (first, nullptr);
    const std::vector<unsigned char> firstBytes (static_cast<unsigned char*> (first),
                                                 static_cast<unsigned char*> (first) + firstSize);

    void* second = nullptr;
    const auto secondSize = plugin.dispatch (effGetChunk, 0, 0, &second);
    ASSERT_NE (second, nullptr);
    EXPECT_EQ (secondSize, firstSize);
    EXPECT_TRUE (std::equal (firstBytes.begin(), firstBytes.end(), static_cast<unsigned char*> (second)));

    EXPECT_EQ (plugin.dispatch (effGetChunk, 0, 0, nullptr), 0) << "no slot for the pointer";
}

TEST_F (ChunkTest, AnotherInstanceRestoresValuesAndBytesExactly)
{
    PluginInstance source;
    setDistinctValues (source);
    const auto bytes = source.chunk();

    for (int32_t index : { 0, 1 })
    {
        PluginInstance target;
        EXPECT_EQ (target.setChunk (bytes, index), 0);
        EXPECT_EQ (target.parameters(), source.parameters());
        EXPECT_EQ (target.chunk(), bytes);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ (target.text<24> (effGetParamDisplay, i), source.text<24> (effGetParamDisplay, i)) << i;
    }
}

TEST_F (ChunkTest, EmptyOrDamagedChunksRestoreNothing)
{
    PluginInstance source;
    setDistinctValues (source);
    const auto good = source.chunk();

    PluginInstance plugin;
    plugin.setParameter (1, 0.35f);
    const auto before = plugin.parameters();

    EXPECT_EQ (plugin.dispatch (effSetChunk, 0, 0, const_cast<unsigned char*> (good.data())), 0);
    EXPECT_EQ (plugin.dispatch (effSetChunk, 0, -5, const_cast<unsigned char*> (good.data())), 0);
    EXPECT_EQ (plugin.dispatch (effSetChunk, 0, 100, nullptr), 0);
    EXPECT_EQ (plugin.parameters(), before);

    const std::vector<unsigned char> truncated (good.begin(), good.begin() + static_cast<long> (good.size() / 2));
    EXPECT_EQ (plugin.setChunk (truncated), 0);
    const std::vector<unsigned char> garbage (300, 0xEE);
    EXPECT_EQ (plugin.setChunk (garbage), 0);
    EXPECT_EQ (plugin.setChunk ({ 'x' }), 0);
    EXPECT_EQ (plugin.parameters(), before);
}
TEST_F (ChunkTest, TextsThatFrozeTheFrameworkParserReturnAtOnce)
{
    // A processing instruction followed by text inside an element looped the
    // framework's parser forever; a well-formed document restores its attributes.
    PluginInstance plugin;
    EXPECT_EQ (plugin.setChunk (settingsChunk ("<e><?" "?>>")), 0);
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 2), "0.00");
    EXPECT_EQ (plugin.setChunk (settingsChunk ("<VeskCompSettings gain=\"3\"><?x?>x</VeskCompSettings>")), 0);
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 2), "3.00");
}

TEST_F (ChunkTest, TheInstancesOwnChunkBlockRestores)
{
    // A host's A/B compare or undo may hand back the very block effGetChunk gave it.
    PluginInstance plugin;
    setDistinctValues (plugin);
    const auto expected = plugin.parameters();
    void* block = nullptr;
    const auto size = plugin.dispatch (effGetChunk, 0, 0, &block);
    ASSERT_NE (block, nullptr);

    for (int i = 0; i < 8; ++i)
        plugin.setParameter (i, 0.5f);
    EXPECT_EQ (plugin.dispatch (effSetChunk, 0, size, block), 0);
    EXPECT_EQ (plugin.parameters(), expected);
}

TEST_F (ChunkTest, AnEmptyRestoreLeavesTheHostsChunkBlockAlone)
{
    PluginInstance plugin;
    setDistinctValues (plugin);
    void* block = nullptr;
    const auto size = plugin.dispatch (effGetChunk, 0, 0, &block);
    ASSERT_NE (block, nullptr);
    const std::vector<unsigned char> before (static_cast<unsigned char*> (block), static_cast<unsigned char*> (block) + size);

    unsigned char other[16] {};
    for (const IntPtr emptySize : { IntPtr (0), IntPtr (-1) })
        EXPECT_EQ (plugin.dispatch (effSetChunk, 0, emptySize, other), 0);
    // Reading a freed block is reported by the sanitizer run of this suite.
    EXPECT_TRUE (std::equal (before.begin(), before.end(), static_cast<unsigned char*> (block)));
}

TEST_F (ChunkTest, AHostWriteOfZeroAfterARestoredMinusZeroSavesZero)
{
    PluginInstance plugin;
    plugin.setChunk (settingsChunk ("<VeskCompSettings attack=\"-0\"/>"));
    plugin.setParameter (3, 0.0f);
    const auto bytes = plugin.chunk();
    EXPECT_NE (std::string (bytes.begin(), bytes.end()).find (" attack=\"0\""), std::string::npos);
}
} // namespace
} // namespace vsthost
