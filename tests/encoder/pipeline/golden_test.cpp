// Whole output files of representative runs, pinned by their SHA-256. Any
// change in the search, the rounding, the random draws or the file layout
// shows up here.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/common/fixtures.h"
#include "tests/common/sha256.h"

namespace {

using testsupport::TempDir;

struct GoldenCase {
    const char* name;
    int width;
    int height;
    unsigned seed;
    std::vector<std::string> options;
    unsigned companion_seed;                    // 0: no companion picture
    std::map<std::string, std::string> hashes;  // file name -> SHA-256
};

class GoldenTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenTest, OutputFilesMatchPinnedHashes) {
    const GoldenCase& c = GetParam();
    TempDir dir;
    testsupport::write_file(dir.path() / "pic.bmp",
                            testsupport::synthetic_picture(c.width, c.height, c.seed));
    if (c.companion_seed != 0) {
        testsupport::write_file(
            dir.path() / "pic_bis.bmp",
            testsupport::synthetic_picture(c.width, c.height, c.companion_seed));
    }
    std::vector<std::string> args = c.options;
    args.push_back("pic.bmp");
    const auto run = testsupport::run_encoder(dir.path(), args, 2);
    ASSERT_EQ(run.status, 0) << run.err;

    std::map<std::string, std::string> actual;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string file = entry.path().filename().string();
        if (file == "pic.bmp" || file == "pic_bis.bmp") continue;
        actual[file] = testsupport::sha256_hex(testsupport::read_file(entry.path()));
    }
    EXPECT_EQ(actual, c.hashes);
}

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

std::string case_name(const ::testing::TestParamInfo<GoldenCase>& info) {
    return info.param.name;
}

// clang-format off
const GoldenCase kCases[] = {
    {"Mode0Quality0", 320, 200, 1, {"-0"}, 0,
     {{"Fpic.bVK", "d227a120a76496f9f431f0757739f2c7231d888aa69fe7414c3abf7647579359"}, {"pic.bVK", "5af5e66cf31ad543af207cc8d12b71654ea1d62f35884863037c9c9b4b5c3499"}}},
    {"Mode1Quality1Preview", 320, 200, 2, {"-1", "--mode=1", "--preview=1"}, 0,
     {{"Fpic.bVK", "2ef3a89842c0404b78699a50f25143ca248475741673159f8ae23db248d7aef3"}, {"Fpic_preview.bmp", "7d60a528c7358c76e092f247f42bd13e989209729aa46c604319a27f482306fd"}, {"pic.bVK", "c9a36596873134d83355799cc8b2bd495afbaf7f770f0001dbfc05e9c3d09e38"}, {"pic_preview.bmp", "c313a336fc04c25e480149d41aaf093f13fc4388a5a6a093708df6ba5da27f93"}}},
    {"Mode2Shift9", 320, 200, 3, {"-0", "--mode=2", "--shiftpixels=9"}, 0,
     {{"Fpic.bVK", "08d330748dfe44af4bd3f4d9de773bb31c7ea63d50fbeb10d843b50c41733304"}, {"pic.bVK", "ea508daf1f5c90109158659a5e8acd61421fd83c3a893313646d86f333d3db40"}}},
    {"Mode3Shift0", 416, 229, 4, {"-0", "--mode=3", "--shiftpixels=0"}, 0,
     {{"Fpic.bVK", "9a59c6ec001c7ceb54c6bd26eb9ffb2823bf46a2e87a1b4721b228704a11e6ea"}, {"pic.bVK", "39cca853222ce88bfb4ed7940b3268a31c71e928d79eced392a8502de25135fd"}}},
    {"Mode4Quality3Preview", 320, 20, 5, {"--mode=4", "--preview=1"}, 0,
     {{"Fpic.bVK", "ed32c0841924b845657176bd52ee1554688a0ed25c61bf1dbaf8ee73d2b06ec9"}, {"Fpic_preview.bmp", "5ae78320c4ad2666063f677448cc3ec43b78aade68c855e78ba8e789cfa1f80b"}, {"pic.bVK", "a62bf25e23f2eadd7cf622edb7321570cdc93638e7b3f7fc3654c0e9135486e4"}, {"pic_preview.bmp", "cec41d1c75cbd84fb9502bde635247b7b4e0df3c874dc1afc7d9eab08335485e"}}},
    {"Mode4Quality9", 320, 20, 6, {"-9", "--mode=4"}, 0,
     {{"Fpic.bVK", "e7fe83109b3dca489d3a16a9442803163eb415ef48d49cc8b033fcbf08d83f54"}, {"pic.bVK", "62443f4a9e516cb99be2e29f3bcfacdd1e345a23b401f37f6b1552adbe7344be"}}},
    {"ScanlineDither", 320, 20, 7, {"-1", "--mode=4", "--dith=2"}, 0,
     {{"Fpic.bVK", "970e24b1ca6cb14416666f0ececa33cf97b2697d5dbca4daaf23e7fa7d844a17"}, {"pic.bVK", "f83fb5c4199b2018de4be32fa5242dba62e59c6e9c137964d0551879ef42d70f"}}},
    {"CheckerDitherInSearch", 320, 200, 8, {"-0", "--dith=3", "--seed=7"}, 0,
     {{"Fpic.bVK", "4215d623efd99b124478b378165df42c5808cfa9d071c02fed93be9b0a4efad2"}, {"pic.bVK", "7cc5543345b437bf674b0ae98218f779425cb8eef610f166e32f983da69dec49"}}},
    {"CheckerPredither", 320, 20, 9, {"-1", "--mode=4", "--dith=1", "--preview=1"}, 0,
     {{"Fpic.bVK", "7d8942ed1dcfa15ad51f42b2a1f86f827af7811f0ff4936652ce566cc462c031"}, {"Fpic_preview.bmp", "d88bf8b900feb0afde18379011350a3f1266e5c766674e808eeb184a4949a03c"}, {"pic.bVK", "2f4d15d7e842fdf868723a8088be7cdd46e6ab929f0cc32bc2069a19cede05d9"}, {"pic_preview.bmp", "46bd652a30c772fefea53ea46dc8f114c14e5ae4b8703f17d0c7151c2e9eca18"}}},
    {"SierraPredither12Bit", 320, 20, 10, {"-1", "--mode=4", "--dith=4", "--ed=2"}, 0,
     {{"Fpic.bVK", "c98d1bc8c41dcadd7cb92fd5b72c33e82e9196af582495ad02cddb25acb19098"}, {"pic.bVK", "95ee9c61dd7106d76955e006af23f826d592fa6fca47048db4e5143554beb7fe"}}},
    {"SierraPredither15Bit", 320, 20, 11, {"-1", "--mode=4", "--dith=5", "--ed=3"}, 0,
     {{"Fpic.bVK", "ddad11211bf5dfa7d5ad0f058be91f541934cbb0124303a57fddb088f7f00eae"}, {"pic.bVK", "e13bba3c8b53fb6d2abaeec78ece6ed6f65e51910f84c7b2c0b89ded5d3a3e7c"}}},
    {"NoDiffusion", 320, 20, 12, {"-1", "--mode=4", "--ed=0"}, 0,
     {{"Fpic.bVK", "bd92930b131745aba864af3bfadfe11fa7302aad6c4e4300038cd61a9e83f3f2"}, {"pic.bVK", "e6373f9fa0def03a3b577f2ef94081c0d22feb43dafafb9d55c64c2dffc1a0e8"}}},
    {"TwoBitmaps", 320, 20, 13, {"-1", "--mode=4", "--pixpal=2", "--preview=1"}, 0,
     {{"pic.bVK", "7aade9feb9dfd8ca010c0c2c3b7ee3ba3b3ae98cd3dff764a7c18dbb35a3d5f8"}, {"pic_preview.bmp", "0d66a584531eaa5334bdd01fe7803da23d69c162e945057ca85125b4c76c3223"}, {"pic_preview2.bmp", "aa7fb0916c615317758b283d9b59caff69350f899bec9d5aa886a4d601c9ea8b"}}},
    {"OneBitmapTwoPalettes", 320, 20, 14, {"-1", "--mode=4", "--pixpal=3", "--preview=1"}, 0,
     {{"Fpic.bVK", "32c14efbbc27f61ecc97cf4745329b39c33fdc48f1ce477951bb48393542e407"}, {"Fpic_preview.bmp", "74bba52f253fe2b4d8dc8970e00daa4cb695aadff523d27c06e4d935038db152"}, {"pic.bVK", "9e00c5dfac0ba101436de1fb4447112d29f8897ab65c849ed87f42d6fddfe767"}, {"picF2.bVK", "32c14efbbc27f61ecc97cf4745329b39c33fdc48f1ce477951bb48393542e407"}, {"pic_preview.bmp", "f06492bf0545df23a61553f9c21a742f6071daaa50a2b11659bba5e9a8afa5f1"}, {"pic_preview2.bmp", "f3854a238202eef37b5ae9f8e9d589d6c8fa0ad95b8793d784d2479ca419e7c2"}, {"pic_previewF2.bmp", "0583c446f25d95a558572af701b9bfedf9adb466cc0bf37e796e1ec53c7495b5"}}},
    {"TwoPalettesCompanion", 320, 20, 15, {"-1", "--mode=4", "--pixpal=3", "--dith=4"}, 16,
     {{"Fpic.bVK", "8bc83561174784d2534ea9e2271a5fba76831733c5725f586a5342425069db26"}, {"pic.bVK", "95e21c4cba4fd521a0149d6601bf2ce466efdb77fd0df3216d1a375cf8ffbc01"}, {"picF2.bVK", "8bc83561174784d2534ea9e2271a5fba76831733c5725f586a5342425069db26"}}},
    {"ThreeLineBlocks", 320, 200, 17, {"-0", "--blockoflines=3"}, 0,
     {{"Fpic.bVK", "f705e5d39f1260909f061112fb4073fdb20b5f40c1f9b7da49b7e88b7d00c84f"}, {"pic.bVK", "6f560b10fbf03b769b9d98c791affaba8c002fb14696a931d9814faf14ebf43c"}}},
    {"SixLineBlocksOverscanTwoPalettes", 416, 229, 18, {"-0", "--mode=3", "--blockoflines=6", "--pixpal=3", "--shiftpixels=9"}, 0,
     {{"Fpic.bVK", "2c54f29167fe801080c1e3e753c3f0ced7e71ca7d9e8824f9a0ecd12b8e73854"}, {"pic.bVK", "ce6189b8645da89e2d47eb9c4b7b067cfa72145269b649fe0f6811713598f83d"}, {"picF2.bVK", "4463a89efe485d4f95b9522763a847342625f81e521fea9a0092c391e571b889"}}},
    // --distance=plain: one palette, two palettes (with a companion picture
    // and without), with and without dither phases.
    {"PlainDistanceMode2", 320, 200, 19, {"-0", "--mode=2", "--distance=plain"}, 0,
     {{"Fpic.bVK", "49aa700adff375322c281daecb25d486e8a0e06fdd81dbc4579718fa4355304d"}, {"pic.bVK", "8c658324c98629e83e31313252c372be986c981ccf78419ebb0b0e3a03b0279d"}}},
    {"PlainDistanceCheckerDither", 320, 20, 20, {"-1", "--mode=4", "--dith=3", "--distance=plain"}, 0,
     {{"Fpic.bVK", "3c51c3f9ffd59dd3fe7c8d91950669cd9d33e4c442a6a21e5ffa3fe04f9bc38c"}, {"pic.bVK", "6511c5f1ed7b30b8e88812f9318660cc15bd2b57809c539711e4a010eb7ee26d"}}},
    {"PlainDistanceTwoPalettes", 320, 20, 21, {"-1", "--mode=4", "--pixpal=3", "--distance=plain", "--preview=1"}, 0,
     {{"Fpic.bVK", "142872260f0baf50460225ea415c8adddd1343a3a5410faf1a6509cfd0e60b8f"}, {"Fpic_preview.bmp", "97a32ea29033a5dc4dd4faf04b69a58a9485adaee5ccf1f6060f2e1e78cf54c0"}, {"pic.bVK", "3efac694ced3a367315f0bb665dc7974afb39a404a5e8e3b0c2102df0cd3fefb"}, {"picF2.bVK", "142872260f0baf50460225ea415c8adddd1343a3a5410faf1a6509cfd0e60b8f"}, {"pic_preview.bmp", "57499ceb2ff4f2c9f218b5dfba56aef3c01ca1c31cf9246815b00fdf677c2f31"}, {"pic_preview2.bmp", "20ccc271f62e5147f95cd309cb7e59de4e6a728e4717c107ef483d451f982d25"}, {"pic_previewF2.bmp", "256b4e7c378a63966696063caaf5dea2378b2f2453b3df26b0bd9131b78ef54c"}}},
    {"PlainDistanceTwoPalettesCompanionScanlines", 320, 20, 22, {"-1", "--mode=4", "--pixpal=3", "--dith=2", "--distance=plain"}, 23,
     {{"Fpic.bVK", "79bf18d4c704f9eab52f9ef610bf58d4d7e7d5914609df25904cc581ca013e6f"}, {"pic.bVK", "c13e8babb28abc31cbd218ca7a39523281881d6fcae4482134e355de5f20676a"}, {"picF2.bVK", "79bf18d4c704f9eab52f9ef610bf58d4d7e7d5914609df25904cc581ca013e6f"}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Runs, GoldenTest, ::testing::ValuesIn(kCases), case_name);

}  // namespace
