// Zentarix — MIT licence.
// Heavy use from many threads: each works on objects of its own and hands some to another thread
// between operations, while all of them share the module, the registry and the decoders.
#include <atomic>
#include <mutex>
#include <thread>

#include "CollectionTestSupport.h"

namespace zx::test {
namespace {

// An object and what it must hold; it travels between threads whole.
struct Work {
  ComPtr<IRasterObject> raster;
  LONG color = 0, width = 0, height = 0;
  std::vector<uint8_t> png;  // the last save, read back by the next load
  LONG pngColor = 0;
};

std::vector<uint8_t> stream_bytes(IStream* stream) {
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<uint8_t> bytes(size_t(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG got = 0;
  stream->Read(bytes.data(), ULONG(bytes.size()), &got);
  return bytes;
}

TEST(Concurrency, EightThreadsDoMixedWorkAndSwapObjectsWithoutLosingAnything) {
  constexpr int kThreads = 8, kOperations = 500, kOps = 7;
  make_raster();  // registers the module once, before the threads race to it
  std::mutex lock;
  std::vector<Work> exchange(kThreads);  // slot t: the object thread t last handed over
  std::atomic<int> done{0}, failures{0};
  std::string firstFailure;
  auto fail = [&](int thread, int op, const char* what) {
    if (failures++ == 0) {
      std::lock_guard g(lock);
      firstFailure = "thread " + std::to_string(thread) + ", operation " + std::to_string(op) + ": " + what;
    }
  };

  auto worker = [&](int t) {
    Work w{make_raster(), LONG(0xFF000000u | (0x102030u * (t + 1))), 6 + t, 4, {}, 0};
    w.raster->EmptyImage(w.width, w.height, w.color);
    ComPtr<IRasterCollection> layers = make_collection();
    for (int i = 0; i < kOperations; ++i) {
      LONG pixel = 0, width = 0, height = 0;
      switch ((i * 5 + t) % kOps) {
        case 0: {  // save to memory
          ComPtr<IStream> stream;
          CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
          w.raster->put_OutputFileType(oftPNG);
          if (w.raster->SaveStream(stream.get(), nullptr) != S_OK) fail(t, i, "SaveStream");
          w.png = stream_bytes(stream.get());
          w.pngColor = w.color;
          break;
        }
        case 1: {  // load what was saved last (or the object's own image when nothing was)
          if (w.png.empty()) break;
          ComPtr<IStream> stream;
          CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
          ULONG n = 0;
          stream->Write(w.png.data(), ULONG(w.png.size()), &n);
          LARGE_INTEGER start{};
          stream->Seek(start, STREAM_SEEK_SET, nullptr);
          if (w.raster->LoadStream(stream.get()) != S_OK) fail(t, i, "LoadStream");
          w.raster->get_Width(&w.width);
          w.raster->get_Height(&w.height);
          w.color = w.pngColor;
          break;
        }
        case 2:  // transform
          if (w.raster->FlipAndRotate(fartRotate90NoFlip) != S_OK) fail(t, i, "FlipAndRotate");
          std::swap(w.width, w.height);
          break;
        case 3: {  // draw another image over the whole of this one
          ComPtr<IRasterObject> brush = make_raster();
          const LONG color = LONG(0xFF000000u | (uint32_t(t * 4099 + i * 31) & 0xFFFFFF));
          brush->EmptyImage(w.width, w.height, color);
          if (brush->DrawOnRaster(w.raster.get(), 0, 0, cmAlphaBlend, 255) != S_OK) fail(t, i, "DrawOnRaster");
          w.color = color;
          break;
        }
        case 4: {  // collection work: the object as a layer, combined
          ComPtr<IRasterItem> item;
          LONG count = 0;
          ComPtr<IRasterObject> combined;
          if (layers->Add(-1, item.put()) != S_OK || item->put_RasterObject(w.raster.get()) != S_OK ||
              layers->get_Count(&count) != S_OK || count != 1 || layers->Combine(combined.put()) != S_OK ||
              combined->get_Pixels(0, 0, &pixel) != S_OK || pixel != w.color || layers->Remove(i4(0)) != S_OK)
            fail(t, i, "collection");
          break;
        }
        case 5: {  // registry reads
          CLSID clsid = GUID_NULL;
          if (CLSIDFromProgID(u"Zentarix.RasterObject", &clsid) != S_OK || clsid != CLSID_RasterObject ||
              read_value(u"Zentarix.RasterObject\\CLSID") != guid_text(CLSID_RasterObject))
            fail(t, i, "registry");
          break;
        }
        case 6: {  // hand the object to the next thread's slot, take what is in this one
          std::lock_guard g(lock);
          std::swap(w, exchange[(t + 1) % kThreads]);
          if (!w.raster) std::swap(w, exchange[(t + 1) % kThreads]);  // nothing there yet: keep ours
          break;
        }
      }
      if (w.raster->get_Width(&width) != S_OK || w.raster->get_Height(&height) != S_OK || width != w.width ||
          height != w.height || w.raster->get_Pixels(width - 1, height - 1, &pixel) != S_OK || pixel != w.color)
        fail(t, i, "object lost its image");
    }
    std::lock_guard g(lock);
    exchange.push_back(std::move(w));  // released on the test's thread, as a host would
    ++done;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(done, kThreads);
  EXPECT_EQ(failures, 0) << firstFailure;
}

}  // namespace
}  // namespace zx::test
