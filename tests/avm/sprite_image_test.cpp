// The sprite image rules every car loader shares: decoding with alpha kept
// (converted image files included), refusing what is not an image, the two
// paste operations with their clipping, and the upload of the bytes as
// decoded.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

#include "avm/sprites/sprite_image.h"
#include "tests/avm/avm_test_support.h"
#include "tests/avm/car_fixture.h"
#include "tests/avm/mat_allocation_probe.h"
#include "tests/support/hostile_pictures.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_runner.h"

namespace {

using Pixel = cv::Vec4b;

class SpriteImage : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.path() + "/" + name; }
  std::string WriteBytes(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteFile(Path(name), bytes));
    return Path(name);
  }
  TempDir dir_;
};

cv::Mat Filled(int width, int height, Pixel pixel) { return cv::Mat(height, width, CV_8UC4, cv::Scalar(pixel[0], pixel[1], pixel[2], pixel[3])); }

TEST_F(SpriteImage, DecodingKeepsAlphaAndTheDecoderByteOrder) {
  cv::Mat image = Filled(5, 3, Pixel(1, 2, 3, 4));
  image.at<Pixel>(2, 4) = Pixel(200, 100, 50, 0);
  const std::string path = WriteBytes("car.kes", EncodePng(image));
  const cv::Mat decoded = DecodeSpriteImage(path.c_str());
  ASSERT_EQ(decoded.type(), CV_8UC4);
  ASSERT_EQ(decoded.size(), image.size());
  EXPECT_TRUE(decoded.isContinuous());
  EXPECT_EQ(decoded.at<Pixel>(0, 0), Pixel(1, 2, 3, 4));
  EXPECT_EQ(decoded.at<Pixel>(2, 4), Pixel(200, 100, 50, 0));
}

TEST_F(SpriteImage, ConvertedImageFilesDecodeAsTheirPng) {
  cv::Mat image = Filled(4, 4, Pixel(9, 8, 7, 6));
  std::string bytes = EncodePng(image);
  std::memcpy(&bytes[0], kConvertedImageMagic, kSignatureBytes);
  ASSERT_EQ(bytes.substr(0, 4), "kes ");
  const cv::Mat decoded = DecodeSpriteImage(WriteBytes("glyphs.bin", bytes).c_str());
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.at<Pixel>(3, 3), Pixel(9, 8, 7, 6));
  // The magic alone, or with rubbish behind it, is no image.
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("short.bin", bytes.substr(0, 8)).c_str()).empty());
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("cut.bin", bytes.substr(0, 30)).c_str()).empty());
}

TEST_F(SpriteImage, ImagesWithoutAlphaOrEightBitsAreBroughtToBgra) {
  cv::Mat bgr(2, 2, CV_8UC3, cv::Scalar(10, 20, 30));
  cv::Mat decoded = DecodeSpriteImage(WriteBytes("bgr.png", EncodePng(bgr)).c_str());
  ASSERT_EQ(decoded.type(), CV_8UC4);
  EXPECT_EQ(decoded.at<Pixel>(1, 1), Pixel(10, 20, 30, 255));

  cv::Mat gray(2, 2, CV_8UC1, cv::Scalar(77));
  decoded = DecodeSpriteImage(WriteBytes("gray.png", EncodePng(gray)).c_str());
  ASSERT_EQ(decoded.type(), CV_8UC4);
  EXPECT_EQ(decoded.at<Pixel>(0, 1), Pixel(77, 77, 77, 255));

  cv::Mat deep(2, 2, CV_16UC4, cv::Scalar(257 * 100, 65535, 0, 257 * 3));
  decoded = DecodeSpriteImage(WriteBytes("deep.png", EncodePng(deep)).c_str());
  ASSERT_EQ(decoded.type(), CV_8UC4);
  EXPECT_EQ(decoded.at<Pixel>(1, 0), Pixel(100, 255, 0, 3));

  // PNG, JPEG, BMP and WebP decode whatever the file is called.
  for (const char* format : {".jpg", ".bmp", ".webp"}) {
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(cv::imencode(format, cv::Mat(8, 8, CV_8UC3, cv::Scalar(0, 0, 0)), encoded));
    decoded = DecodeSpriteImage(
        WriteBytes(std::string("photo") + format + ".kes", std::string(encoded.begin(), encoded.end())).c_str());
    ASSERT_EQ(decoded.type(), CV_8UC4) << format;
    EXPECT_EQ(decoded.at<Pixel>(4, 4)[3], 255) << format;
  }
}

TEST_F(SpriteImage, OtherPictureFormatsNeverReachTheDecoder) {
  // Formats the decoder library knows but no car package uses: some of
  // their readers abort the process on a damaged stream.
  for (const char* format : {".tiff", ".ppm", ".ras"}) {
    std::vector<uint8_t> encoded;
    ASSERT_TRUE(cv::imencode(format, cv::Mat(8, 8, CV_8UC3, cv::Scalar(1, 2, 3)), encoded));
    EXPECT_FALSE(cv::imdecode(encoded, cv::IMREAD_UNCHANGED).empty()) << format;
    EXPECT_FALSE(IsDecodablePicture(encoded)) << format;
    EXPECT_TRUE(DecodeSpriteBytes(encoded).empty()) << format;
  }
  // A DICOM stream (preamble, "DICM", a damaged element) on which the
  // library's DICOM reader fails an assertion and aborts.
  std::vector<uint8_t> dicom(128, 0);
  for (const char letter : std::string("DICM")) {
    dicom.push_back(static_cast<uint8_t>(letter));
  }
  for (int i = 0; i < 64; ++i) {
    dicom.push_back(static_cast<uint8_t>(i % 2 == 0 ? 2 : 0));
  }
  EXPECT_FALSE(IsDecodablePicture(dicom));
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("scan.kes", std::string(dicom.begin(), dicom.end())).c_str()).empty());
}

TEST_F(SpriteImage, WhatIsNoImageDecodesEmpty) {
  EXPECT_TRUE(DecodeSpriteImage(Path("missing.kes").c_str()).empty());
  EXPECT_TRUE(DecodeSpriteImage("").empty());
  EXPECT_TRUE(DecodeSpriteImage(nullptr).empty());
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("empty.kes", "").c_str()).empty());
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("text.kes", "not a picture at all").c_str()).empty());
  const std::string png = EncodePng(Filled(64, 64, Pixel(1, 2, 3, 4)));
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("half.kes", png.substr(0, png.size() / 2)).c_str()).empty());
  EXPECT_TRUE(DecodeSpriteImage(dir_.path().c_str()).empty());
  // A pipe where an image belongs must not block the GL thread.
  ASSERT_EQ(mkfifo(Path("pipe.kes").c_str(), 0600), 0);
  EXPECT_TRUE(DecodeSpriteImage(Path("pipe.kes").c_str()).empty());
}

TEST_F(SpriteImage, OversizedImagesAreRefusedBeforeDecoding) {
  // A small PNG whose header claims 100000 x 100000 pixels.
  std::string png = EncodePng(Filled(4, 4, Pixel(1, 2, 3, 4)));
  const uint8_t huge[8] = {0x00, 0x01, 0x86, 0xA0, 0x00, 0x01, 0x86, 0xA0};
  std::memcpy(&png[16], huge, sizeof(huge));
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("huge.kes", png).c_str()).empty());
  // A file beyond the size limit is not even read.
  const std::string big = WriteBytes("big.kes", EncodePng(Filled(4, 4, Pixel(1, 2, 3, 4))));
  ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(kMaxSpriteFileBytes) + 1), 0);
  EXPECT_TRUE(DecodeSpriteImage(big.c_str()).empty());
  ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(kMaxSpriteFileBytes)), 0);
  EXPECT_FALSE(DecodeSpriteImage(big.c_str()).empty());  // PNG ignores bytes after its end
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Encoded(const char* extension, const cv::Mat& picture,
                             const std::vector<int>& parameters = {}) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(cv::imencode(extension, picture, bytes, parameters)) << extension;
  return bytes;
}

TEST_F(SpriteImage, EveryFormatStatesItsSizeBeforeAnythingIsDecoded) {
  const cv::Mat picture(23, 37, CV_8UC3, cv::Scalar(10, 120, 240));
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } real[] = {
      {"png", Encoded(".png", picture)},
      {"bmp", Encoded(".bmp", picture)},
      {"jpeg", Encoded(".jpg", picture)},
      {"lossy webp", Encoded(".webp", picture, {cv::IMWRITE_WEBP_QUALITY, 80})},
      {"lossless webp", Encoded(".webp", picture, {cv::IMWRITE_WEBP_QUALITY, 101})},
  };
  for (const auto& format : real) {
    const StatedSize stated = StatedPictureSize(format.bytes);
    EXPECT_TRUE(stated.known) << format.name;
    EXPECT_EQ(stated.width, 37) << format.name;
    EXPECT_EQ(stated.height, 23) << format.name;
    std::vector<uint8_t> bytes = format.bytes;
    EXPECT_EQ(DecodeSpriteBytes(bytes).size(), cv::Size(37, 23)) << format.name;
  }
  // The extended WebP form states a canvas before its image.
  std::vector<uint8_t> extended = Bytes(WebpCanvasStatingSize(8, 8));
  EXPECT_EQ(StatedPictureSize(extended).width, 8);
  EXPECT_EQ(DecodeSpriteBytes(extended).size(), cv::Size(8, 8));

  // Headers that cannot be read: no size, no decoding.
  std::vector<uint8_t> jpeg = Encoded(".jpg", picture);
  for (std::size_t cut : {std::size_t{3}, std::size_t{20}}) {
    std::vector<uint8_t> head(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_FALSE(StatedPictureSize(head).known) << cut;
    EXPECT_TRUE(DecodeSpriteBytes(head).empty()) << cut;
  }
  std::vector<uint8_t> noFrame = Bytes(std::string("RIFF\x0c\0\0\0WEBPJUNK\0\0\0\0", 20));
  EXPECT_TRUE(IsDecodablePicture(noFrame));
  EXPECT_FALSE(StatedPictureSize(noFrame).known);
  EXPECT_TRUE(DecodeSpriteBytes(noFrame).empty());
}

TEST_F(SpriteImage, HugeStatedSizesNeverReachTheDecoder) {
  // The largest matrix a picture of 4096 x 4096 pixels needs (16-bit, four
  // channels); the probe refuses more, so that a miss costs no gigabytes.
  constexpr std::size_t kBudgetBytes = std::size_t{4096} * 4096 * 8;
  MatAllocationProbe probe(kBudgetBytes);
  const struct {
    const char* name;
    std::string bytes;
    int64_t width;
    int64_t height;
  } hostile[] = {
      {"jpeg", JpegStatingSize(20000, 20000), 20000, 20000},
      {"png", PngStatingSize(20000, 20000), 20000, 20000},
      {"extended webp", WebpCanvasStatingSize(20000, 20000), 20000, 20000},
      {"lossy webp", WebpLossyStatingSize(16383, 16383), 16383, 16383},
      {"lossless webp", WebpLosslessStatingSize(16384, 16384), 16384, 16384},
      {"just over", JpegStatingSize(4097, 4096), 4097, 4096},
  };
  for (const auto& picture : hostile) {
    std::vector<uint8_t> bytes = Bytes(picture.bytes);
    const StatedSize stated = StatedPictureSize(bytes);
    EXPECT_EQ(stated.width, picture.width) << picture.name;
    EXPECT_EQ(stated.height, picture.height) << picture.name;
    EXPECT_TRUE(DecodeSpriteBytes(bytes).empty()) << picture.name;
    EXPECT_TRUE(DecodeSpriteImage(WriteBytes("hostile.kes", picture.bytes).c_str()).empty())
        << picture.name;
  }
  EXPECT_LE(probe.largest(), kBudgetBytes) << "the decoder was asked for a hostile size";
  EXPECT_EQ(probe.refused(), 0);
  // A side of 4096 is within the budget.
  std::vector<uint8_t> wide = Encoded(".jpg", cv::Mat(8, 4096, CV_8UC3, cv::Scalar(1, 2, 3)));
  EXPECT_EQ(DecodeSpriteBytes(wide).size(), cv::Size(4096, 8));
}

// png with a tEXt chunk put in after IHDR (which ends at byte 33) that
// states declaredLength but carries data.
std::string WithChunkAfterHeader(const std::string& png, uint32_t declaredLength,
                                 const std::string& data) {
  const std::string chunk = BigEndian32(declaredLength) + "tEXt" + data +
                            BigEndian32(PngChunkCrc("tEXt" + data));
  return png.substr(0, 33) + chunk + png.substr(33);
}

TEST_F(SpriteImage, PngStreamsMustHoldEveryChunkTheyAnnounce) {
  const std::string png = EncodePng(Filled(4, 3, Pixel(1, 2, 3, 4)));
  ASSERT_EQ(png.substr(12, 4), "IHDR");
  ASSERT_EQ(png.substr(37, 4), "IDAT");
  // A chunk stating a gigabyte in a file of a few hundred bytes: the
  // decoder would skip it in tiny reads for seconds before failing.
  std::vector<uint8_t> huge;
  const std::string hugeChunk = WithChunkAfterHeader(png, 0x40000012u, std::string(150, '\0'));
  huge.assign(hugeChunk.begin(), hugeChunk.end());
  EXPECT_FALSE(PngChunksComplete(huge));
  EXPECT_FALSE(PngChunksComplete(std::vector<uint8_t>(huge.begin(), huge.begin() + 5)));
  EXPECT_TRUE(DecodeSpriteBytes(huge).empty());
  // Without IEND the decoder gives nothing either: refusing such a stream
  // early changes no result.
  const std::string cut = png.substr(0, png.size() - 12);
  ASSERT_EQ(png.substr(png.size() - 8, 4), "IEND");
  const std::vector<uint8_t> cutBytes(cut.begin(), cut.end());
  EXPECT_TRUE(cv::imdecode(cutBytes, cv::IMREAD_UNCHANGED).empty());
  EXPECT_FALSE(PngChunksComplete(cutBytes));
  EXPECT_TRUE(DecodeSpriteImage(WriteBytes("cut.kes", cut).c_str()).empty());
  // A chunk that fits decodes as before, and so does rubbish after IEND.
  const std::string withText = WithChunkAfterHeader(png, 5, std::string("k\0abc", 5));
  const std::string trailing = withText + "trailing";
  EXPECT_TRUE(PngChunksComplete(std::vector<uint8_t>(trailing.begin(), trailing.end())));
  const cv::Mat decoded = DecodeSpriteImage(WriteBytes("text.kes", trailing).c_str());
  ASSERT_EQ(decoded.type(), CV_8UC4);
  EXPECT_EQ(decoded.at<Pixel>(2, 3), Pixel(1, 2, 3, 4));
}

TEST_F(SpriteImage, OpaquePixelPaste) {
  cv::Mat working = Filled(6, 4, Pixel(10, 10, 10, 255));
  cv::Mat overlay = Filled(3, 2, Pixel(0, 0, 0, 0));
  overlay.at<Pixel>(0, 0) = Pixel(1, 2, 3, 7);
  overlay.at<Pixel>(1, 2) = Pixel(4, 5, 6, 1);
  PasteOpaquePixels(working, overlay, 2, 1);
  EXPECT_EQ(working.at<Pixel>(1, 2), Pixel(1, 2, 3, 7));  // all four bytes, no blending
  EXPECT_EQ(working.at<Pixel>(2, 4), Pixel(4, 5, 6, 1));
  EXPECT_EQ(working.at<Pixel>(1, 3), Pixel(10, 10, 10, 255));  // transparent: left alone
  cv::Mat expected = Filled(6, 4, Pixel(10, 10, 10, 255));
  expected.at<Pixel>(1, 2) = Pixel(1, 2, 3, 7);
  expected.at<Pixel>(2, 4) = Pixel(4, 5, 6, 1);
  EXPECT_EQ(cv::norm(working, expected, cv::NORM_INF), 0.0);  // nothing else changed

  // An overlay with no opaque pixel changes nothing.
  cv::Mat before = working.clone();
  PasteOpaquePixels(working, Filled(6, 4, Pixel(99, 99, 99, 0)), 0, 0);
  EXPECT_EQ(cv::norm(working, before, cv::NORM_INF), 0.0);
}

TEST_F(SpriteImage, OpaqueSpanPasteCopiesTheTransparentPixelsBetween) {
  cv::Mat working = Filled(6, 3, Pixel(10, 10, 10, 255));
  cv::Mat door = Filled(5, 2, Pixel(50, 50, 50, 0));
  // Row 0: transparent, opaque, transparent, opaque, transparent.
  door.at<Pixel>(0, 1) = Pixel(1, 1, 1, 9);
  door.at<Pixel>(0, 3) = Pixel(3, 3, 3, 9);
  // Row 1 has no opaque pixel.
  PasteOpaqueSpans(working, door, 1, 0);
  EXPECT_EQ(working.at<Pixel>(0, 1), Pixel(10, 10, 10, 255));
  EXPECT_EQ(working.at<Pixel>(0, 2), Pixel(1, 1, 1, 9));
  EXPECT_EQ(working.at<Pixel>(0, 3), Pixel(50, 50, 50, 0));  // the middle, transparent, copied
  EXPECT_EQ(working.at<Pixel>(0, 4), Pixel(3, 3, 3, 9));
  EXPECT_EQ(working.at<Pixel>(0, 5), Pixel(10, 10, 10, 255));
  for (int col = 0; col < 6; ++col) {
    EXPECT_EQ(working.at<Pixel>(1, col), Pixel(10, 10, 10, 255)) << col;
  }
}

// The result of a paste computed pixel by pixel with every position
// checked, to compare the clipped pastes against.
cv::Mat ReferencePaste(const cv::Mat& working, const cv::Mat& overlay, int64_t x, int64_t y, bool spans) {
  cv::Mat result = working.clone();
  for (int row = 0; row < overlay.rows; ++row) {
    int first = -1, last = -1;
    for (int col = 0; col < overlay.cols; ++col) {
      if (overlay.at<Pixel>(row, col)[3] != 0) {
        if (first < 0) first = col;
        last = col;
      }
    }
    for (int col = 0; col < overlay.cols; ++col) {
      const bool take = spans ? (first >= 0 && col >= first && col <= last)
                              : overlay.at<Pixel>(row, col)[3] != 0;
      const int64_t ty = y + row, tx = x + col;
      if (take && ty >= 0 && ty < working.rows && tx >= 0 && tx < working.cols) {
        result.at<Pixel>(static_cast<int>(ty), static_cast<int>(tx)) = overlay.at<Pixel>(row, col);
      }
    }
  }
  return result;
}

TEST_F(SpriteImage, OverlaysReachingOutsideAreClipped) {
  cv::Mat base(7, 9, CV_8UC4);
  cv::RNG rng(7);
  rng.fill(base, cv::RNG::UNIFORM, 0, 256);
  cv::Mat overlay(5, 6, CV_8UC4);
  rng.fill(overlay, cv::RNG::UNIFORM, 0, 256);
  for (int row = 0; row < overlay.rows; ++row) {
    overlay.at<Pixel>(row, 0)[3] = 0;
    overlay.at<Pixel>(row, 2)[3] = 0;
  }
  const int32_t positions[][2] = {{-3, -2},  {7, 5},       {-5, 6},         {8, -4},
                                  {9, 0},    {0, 7},       {-6, 0},         {0, -5},
                                  {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, INT_MIN}, {INT_MIN, 2}};
  for (const auto& at : positions) {
    for (bool spans : {false, true}) {
      cv::Mat working = base.clone();
      if (spans) {
        PasteOpaqueSpans(working, overlay, at[0], at[1]);
      } else {
        PasteOpaquePixels(working, overlay, at[0], at[1]);
      }
      const cv::Mat expected = ReferencePaste(base, overlay, at[0], at[1], spans);
      EXPECT_EQ(cv::norm(working, expected, cv::NORM_INF), 0.0)
          << at[0] << "," << at[1] << (spans ? " spans" : " pixels");
      EXPECT_EQ(working.size(), base.size());
    }
  }
}

TEST_F(SpriteImage, EmptyBaseIsLeftEmpty) {
  cv::Mat working;
  const cv::Mat overlay = Filled(3, 3, Pixel(1, 2, 3, 255));
  PasteOpaquePixels(working, overlay, 0, 0);
  PasteOpaqueSpans(working, overlay, 0, 0);
  EXPECT_TRUE(working.empty());
  const std::string path = WriteBytes("wheel.kes", EncodePng(overlay));
  LogCapture log;
  EXPECT_FALSE(PasteOverlayFile(working, path.c_str(), 0, 0, OverlayKind::kWheelOrLamp));
  EXPECT_TRUE(working.empty());
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(SpriteImage, OverlayFilesPasteOrLogTheMiss) {
  cv::Mat working = Filled(4, 4, Pixel(0, 0, 0, 255));
  const std::string wheel = WriteBytes("f0.kes", EncodePng(Filled(2, 2, Pixel(5, 6, 7, 255))));
  LogCapture log;
  EXPECT_TRUE(PasteOverlayFile(working, wheel.c_str(), 1, 1, OverlayKind::kWheelOrLamp));
  EXPECT_EQ(working.at<Pixel>(2, 2), Pixel(5, 6, 7, 255));
  EXPECT_TRUE(PasteOverlayFile(working, wheel.c_str(), 3, 3, OverlayKind::kDoor));
  EXPECT_EQ(working.at<Pixel>(3, 3), Pixel(5, 6, 7, 255));
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_FALSE(PasteOverlayFile(working, Path("none.kes").c_str(), 0, 0, OverlayKind::kWheelOrLamp));
  EXPECT_FALSE(PasteOverlayFile(working, Path("none.kes").c_str(), 0, 0, OverlayKind::kDoor));
  EXPECT_EQ(log.Messages("KESTRA"),
            (std::vector<std::string>{"---------load_textureLR,load failed!",
                                      "---------load_textureLR door,load failed!"}));
}

TEST_F(SpriteImage, WorkingCopiesThroughTheScratchImage) {
  const std::string path = WriteBytes("base.kes", EncodePng(Filled(3, 2, Pixel(4, 4, 4, 255))));
  cv::Mat working = DecodeWorkingImageViaDestMat(path.c_str());
  ASSERT_EQ(DestMat.size(), cv::Size(3, 2));
  working.at<Pixel>(0, 0) = Pixel(0, 0, 0, 0);
  EXPECT_EQ(DestMat.at<Pixel>(0, 0), Pixel(4, 4, 4, 255));  // a deep copy
  EXPECT_TRUE(DecodeWorkingImageViaDestMat(Path("none.kes").c_str()).empty());
  EXPECT_TRUE(DestMat.empty());
  EXPECT_EQ(DecodeWorkingImage(path.c_str()).at<Pixel>(1, 2), Pixel(4, 4, 4, 255));
}

// Uploads into one texture name made for the test and given back after it.
class SpriteUpload : public SpriteImage {
 protected:
  void SetUp() override {
    StartTestGlContext();
    glGenTextures(1, &texture_);
  }
  void TearDown() override {
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteTextures(1, &texture_);
  }
  // The upload, which always answers with the texture it was given.
  void Upload(const cv::Mat& image) {
    EXPECT_EQ(UploadSpriteImage(static_cast<int>(texture_), image), static_cast<int>(texture_));
  }
  GLuint texture_ = 0;
};

TEST_F(SpriteUpload, KeepsTheDecodedBytesAndRows) {
  cv::Mat image = Filled(4, 2, Pixel(1, 2, 3, 4));
  image.row(1).setTo(cv::Scalar(200, 150, 100, 50));
  Upload(image);
  const std::vector<uint8_t> pixels = ReadTexture(texture_, 4, 2);
  ASSERT_EQ(pixels.size(), 32u);
  // The texture's R, G, B, A are the decoded B, G, R, A; first row first.
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 4),
            (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(std::vector<uint8_t>(pixels.begin() + 16, pixels.begin() + 20),
            (std::vector<uint8_t>{200, 150, 100, 50}));
  // An empty image empties the texture.
  Upload(cv::Mat());
  EXPECT_FALSE(TextureHasImage(texture_));
}

// A picture the GPU cannot take leaves the texture empty, never with what
// it held before (an earlier car's image of the angle): a side beyond
// GL_MAX_TEXTURE_SIZE is refused before the upload, logged once per size.
TEST_F(SpriteUpload, BeyondTheGpusLimitLeavesTheTextureEmpty) {
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
  ASSERT_GT(maxSide, 0);
  const std::string wide = std::to_string(maxSide + 1) + "x1";
  const std::string tall = "1x" + std::to_string(maxSide + 1);
  LogCapture log;
  for (const cv::Size& size :
       {cv::Size(maxSide + 1, 1), cv::Size(maxSide + 1, 1), cv::Size(1, maxSide + 1)}) {
    Upload(Filled(4, 2, Pixel(1, 2, 3, 255)));
    ASSERT_TRUE(TextureHasImage(texture_));
    Upload(Filled(size.width, size.height, Pixel(9, 9, 9, 255)));
    EXPECT_FALSE(TextureHasImage(texture_)) << size;
  }
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------texture " + wide + " beyond"), 1);
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------texture " + tall + " beyond"), 1);
  // A picture of exactly the limit is taken.
  Upload(Filled(maxSide, 1, Pixel(7, 7, 7, 255)));
  EXPECT_TRUE(TextureHasImage(texture_));
}

// An error an earlier GL call left behind is reported as the frame reports
// errors, and does not make a good upload count as refused.
TEST_F(SpriteUpload, EarlierGlErrorsAreReportedAndDoNotEmptyTheTexture) {
  glEnable(0x7FFF);  // no such capability: GL_INVALID_ENUM
  LogCapture log;
  Upload(Filled(4, 2, Pixel(1, 2, 3, 255)));
  EXPECT_TRUE(TextureHasImage(texture_));
  EXPECT_TRUE(log.Contains("KESTRA", "---------glGetError:" + std::to_string(GL_INVALID_ENUM)));
  EXPECT_EQ(log.CountPrefix("KESTRA", "---------texture"), 0);
}

}  // namespace
