// The decode floor: which quoted texts it takes for packed lists, and that
// it notices lists that do not decode to their declared size.
#include <gtest/gtest.h>

#include <numeric>

#include "bench/packed_floor.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp::bench {
namespace {

std::vector<std::int32_t> sequence(std::size_t n) {
  std::vector<std::int32_t> values(n);
  std::iota(values.begin(), values.end(), 0);
  return values;
}

TEST(PackedFloor, DecodesQuotedPackedTextsOnly) {
  scenegen::SceneWriter w;
  w.begin("GeomStaticMesh", "mesh");
  w.attribute("faces", "ListIntHex(\"" + scenegen::packInts(sequence(3000)) + "\")");
  w.attribute("vertices", "ListVectorHex(\"" + scenegen::packVectors({{1, 2, 3}, {4, 5, 6}}) + "\")");
  w.end();
  w.begin("BitmapBuffer", "bitmap");
  w.quoted("file", "maps/ZIPC_wood.jpg");  // "ZIPC" inside a path, not at its start
  w.quoted("name", "");
  w.end();
  w.begin("Node", "node");
  w.attribute("transform", "TransformHex(\"" +
                               scenegen::transformHexText({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {1, 2, 3}) + "\")");
  w.end();

  FloorDecoder decoder;
  FloorTotals totals;
  decoder.decodeText(w.text(), totals);
  EXPECT_EQ(totals.packedTexts, 2u);
  EXPECT_EQ(totals.decodedBytes, 3000u * 4 + 2 * 12);
  EXPECT_EQ(totals.failures, 0u);

  // The buffers grown for the first list serve a smaller one, then a larger one.
  decoder.decodeText("a=ListIntHex(\"" + scenegen::packInts(sequence(10)) + "\");", totals);
  decoder.decodeText("a=ListIntHex(\"" + scenegen::packInts(sequence(50000)) + "\");", totals);
  EXPECT_EQ(totals.decodedBytes, 3000u * 4 + 2 * 12 + 10 * 4 + 50000 * 4);
  EXPECT_EQ(totals.failures, 0u);
}

TEST(PackedFloor, UnterminatedStringRunsToTheEnd) {
  FloorDecoder decoder;
  FloorTotals totals;
  decoder.decodeText("x=ListIntHex(\"" + scenegen::packInts(sequence(100)), totals);
  EXPECT_EQ(totals.packedTexts, 1u);
  EXPECT_EQ(totals.decodedBytes, 400u);
}

TEST(PackedFloor, CountsListsThatDoNotDecodeAsDeclared) {
  const std::string good = scenegen::packInts(sequence(1000));
  auto withSize = [&](std::uint32_t size) { return "ZIPC" + scenegen::encodeHex32(size) + good.substr(12); };
  std::string corrupt = good;
  corrupt[good.size() / 2] = corrupt[good.size() / 2] == 'A' ? 'B' : 'A';

  const std::string cases[] = {
      withSize(4000 + 4),  // declares more than the stream holds
      withSize(4000 - 4),  // declares less
      corrupt,             // stream or checksum damaged
      good.substr(0, 20),  // header only
      "ZIPC",
  };
  for (const std::string& packed : cases) {
    FloorDecoder decoder;
    FloorTotals totals;
    EXPECT_FALSE(decoder.decodePacked(packed, totals)) << packed.substr(0, 40);
    EXPECT_EQ(totals.failures, 1u);
    EXPECT_EQ(totals.decodedBytes, 0u);
  }
  FloorDecoder decoder;
  FloorTotals totals;
  EXPECT_TRUE(decoder.decodePacked(withSize(4000), totals));
  EXPECT_EQ(totals.decodedBytes, 4000u);
}

}  // namespace
}  // namespace cvimp::bench
