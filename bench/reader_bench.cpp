// Reader throughput: the payload of a package through the reader (decipher,
// XZ, chunk CRC, framing, entry CRC) against liblzma alone on the same
// chunks.
//
//   bench_reader PACKAGE [--write-chunks FILE] [benchmark flags]
//
// PACKAGE is a bare package (hpack build --package-only). --write-chunks
// writes the stored chunks back to back (concatenated XZ streams) for a
// comparison with `xz -dc`.
#include <benchmark/benchmark.h>
#include <lzma.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/package_header.h"
#include "package/payload_reader.h"
#include "package/settings_block.h"
#include "package/xz_decoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace hs::package;

Bytes g_package;
PackageHeader g_header;
Blowfish g_cipher;
bool g_compressed = true;

std::span<const std::uint8_t> payload() {
  return std::span<const std::uint8_t>(g_package).subspan(g_header.payload_offset, g_header.payload_size);
}

std::uint32_t u32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24); }

// The stored chunks of the payload.
std::vector<std::span<const std::uint8_t>> chunks() {
  std::vector<std::span<const std::uint8_t>> out;
  const auto p = payload();
  for (std::size_t at = 0; at + 8 <= p.size();) {
    const std::uint32_t size = u32(&p[at]);
    out.push_back(p.subspan(at + 8, size));
    at += 8 + size;
  }
  return out;
}

void BM_Reader(benchmark::State& state) {
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    PayloadReader reader(payload(), g_header.entry_sizes,
                         PayloadOptions{g_header.enciphered() ? &g_cipher : nullptr, g_compressed, false});
    for (std::uint32_t i = 0; i < g_header.entry_count; ++i) {
      auto entry = reader.next_entry();
      if (!entry) {
        state.SkipWithError("damaged package");
        return;
      }
      bytes += entry->data.size();
      benchmark::DoNotOptimize(entry->data.data());
    }
    if (reader.finish()) state.SkipWithError("damaged package end");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

// liblzma alone: each stored chunk decoded into one output buffer. Like
// the reader, each pass starts with no memory of its own: one pass stands
// for one installation, which decodes its payload once.
void BM_LiblzmaOnly(benchmark::State& state) {
  const auto list = chunks();
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    Bytes out;
    for (const auto& chunk : list) {
      out.resize(64u << 20);
      std::size_t in_pos = 0, out_pos = 0;
      std::uint64_t limit = UINT64_MAX;
      for (;;) {
        const lzma_ret ret = lzma_stream_buffer_decode(&limit, 0, nullptr, chunk.data(), &in_pos, chunk.size(),
                                                       out.data(), &out_pos, out.size());
        if (ret == LZMA_OK) break;
        if (ret == LZMA_BUF_ERROR && out.size() < (1u << 30)) {
          out.resize(out.size() * 2);
          in_pos = out_pos = 0;
          continue;
        }
        state.SkipWithError("liblzma failed");
        return;
      }
      bytes += out_pos;
      benchmark::DoNotOptimize(out.data());
    }
  }
  // Count the same bytes as the reader: the entries' data.
  std::uint64_t data = 0;
  for (std::uint32_t s : g_header.entry_sizes) data += s;
  state.SetBytesProcessed(static_cast<std::int64_t>(data * state.iterations()));
  state.counters["decoded_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

// The engine's XZ decoder alone (16 KiB windows, one decoder for all
// chunks) on the same chunks: what the reader adds beyond it is the chunk
// and entry CRCs, deciphering and the framing.
void BM_DecoderOnly(benchmark::State& state) {
  const auto list = chunks();
  for (auto _ : state) {
    ByteBuffer out;
    XzDecoder decoder;
    for (const auto& chunk : list) {
      std::size_t used = 0;
      if (!decoder.decompress_append(chunk, out, used)) {
        state.SkipWithError("decoder failed");
        return;
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  std::uint64_t data = 0;
  for (std::uint32_t s : g_header.entry_sizes) data += s;
  state.SetBytesProcessed(static_cast<std::int64_t>(data * state.iterations()));
}

BENCHMARK(BM_Reader)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecoderOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LiblzmaOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::cerr << "usage: bench_reader PACKAGE [--write-chunks FILE] [benchmark flags]\n";
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  g_package.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  HeaderRead read = read_package_header(g_package);
  if (!read) {
    std::cerr << "not a package: damage code " << read.error().damage << "\n";
    return 1;
  }
  g_header = *read;
  key_cipher(g_header, g_cipher);
  auto settings = load_settings_block(g_package, g_header, g_cipher);
  g_compressed = settings && settings->size() >= 8 && ((*settings)[0] & 0x20) != 0;

  std::vector<char*> rest = {argv[0]};
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--write-chunks") == 0 && i + 1 < argc) {
      std::ofstream out(argv[++i], std::ios::binary);
      for (const auto& chunk : chunks()) out.write(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    } else {
      rest.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
