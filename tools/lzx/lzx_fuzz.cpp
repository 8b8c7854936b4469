// libFuzzer target: encode arbitrary data at a level, window and entry point
// chosen by the first input byte, then demand the original back from two
// kinds of reader: libmspack's LZX decoder, which reads the folder as one
// stream, and gcab's, which decodes each data block of a cabinet on its own
// as Microsoft's EXTRACT does. Built only with KIV_FUZZ.
#include <gio/gio.h>
#include <libgcab.h>

#include <cstdio>
#include <cstdlib>

#include "tools/lzx/lzx_test_util.h"

namespace {

// Inputs past this size add little but slow every run down.
constexpr size_t kMaxInput = 20000;
// Small inputs are stretched to about this size: past a frame and past
// the smallest window.
constexpr size_t kGrownSize = 36000;

// Extracts the single file of `cab` with gcab into memory.
bool DecodeWithGcab(const kiv::lzx::test::Bytes& cab, kiv::lzx::test::Bytes* out) {
  GInputStream* in = g_memory_input_stream_new_from_data(cab.data(), static_cast<gssize>(cab.size()), nullptr);
  GCabCabinet* cabinet = gcab_cabinet_new();
  GError* error = nullptr;
  bool ok = gcab_cabinet_load(cabinet, in, nullptr, &error) &&
            gcab_cabinet_extract(cabinet, nullptr, nullptr, nullptr, nullptr, nullptr, &error);
  if (ok) {
    GPtrArray* folders = gcab_cabinet_get_folders(cabinet);
    GSList* files = folders->len ? gcab_folder_get_files(GCAB_FOLDER(g_ptr_array_index(folders, 0))) : nullptr;
    GBytes* bytes = files ? gcab_file_get_bytes(GCAB_FILE(files->data)) : nullptr;
    ok = bytes != nullptr;
    if (ok) {
      gsize n = 0;
      auto* p = static_cast<const uint8_t*>(g_bytes_get_data(bytes, &n));
      out->assign(p, p + n);
    }
    g_slist_free(files);
  }
  if (error) {
    std::fprintf(stderr, "gcab: %s\n", error->message);
    g_error_free(error);
  }
  g_object_unref(cabinet);
  g_object_unref(in);
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > kMaxInput) return 0;
  const uint8_t control = data[0];
  kiv::lzx::Options options{15 + control % 7, (control >> 3) % 5};
  const bool lookahead = (control & 0x80) != 0;
  kiv::lzx::test::Bytes input(data + 1, data + size);
  // Stretch small inputs over several frames so frame and window edges get
  // exercised: repeat the input with a varying byte in between.
  if ((control & 0x40) && !input.empty()) {
    kiv::lzx::test::Bytes grown;
    for (uint32_t i = 0; grown.size() < kGrownSize; ++i) {
      grown.insert(grown.end(), input.begin(), input.end());
      grown.push_back(static_cast<uint8_t>(i));
    }
    input.swap(grown);
  }
  auto frames = kiv::lzx::test::EncodeFrames(input, options, lookahead);
  kiv::lzx::test::Bytes decoded;
  const char* failed = nullptr;
  if (!kiv::lzx::test::DecodeRaw(frames, options.windowBits, input.size(), &decoded) || decoded != input) {
    failed = "libmspack";
  } else if (!input.empty()) {
    auto cab = kiv::lzx::test::CabinetAround({{"fuzz.bin", input}}, frames, options.windowBits);
    if (!DecodeWithGcab(cab, &decoded) || decoded != input) failed = "gcab";
  }
  if (failed) {
    std::fprintf(stderr, "%s round trip failed: level %d window %d lookahead %d size %zu\n", failed, options.level,
                 options.windowBits, lookahead ? 1 : 0, input.size());
    std::abort();
  }
  return 0;
}
