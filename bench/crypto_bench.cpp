// Times the request protection against libcrypto's Blowfish in one run and prints
// the ratios. Not a test: run it by hand on a quiet machine.
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "crypto/blowfish.h"
#include "crypto/sealing.h"

namespace {

using stagewell::crypto::CBlowfish;

constexpr uint32_t kBytes = 10000;
const std::string kKey = "00155D0A1B2C3F4E9A7B";  // 20 bytes, as the machine identity string

const uint8_t* KeyBytes() { return reinterpret_cast<const uint8_t*>(kKey.data()); }

std::vector<uint8_t> RandomBytes(size_t count, uint8_t low = 0) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> byte(low, 255);
  std::vector<uint8_t> bytes(count);
  for (auto& b : bytes) b = static_cast<uint8_t>(byte(random));
  return bytes;
}

struct Fixture {
  std::vector<uint8_t> plain = RandomBytes(kBytes);
  std::vector<uint8_t> out = std::vector<uint8_t>(kBytes);
  std::unique_ptr<CBlowfish> cipher = CBlowfish::Create(kKey);
  BF_KEY reference;
  Fixture() { BF_set_key(&reference, static_cast<int>(kKey.size()), KeyBytes()); }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

void SetBytes(benchmark::State& state) { state.SetBytesProcessed(int64_t(state.iterations()) * kBytes); }

void CipherOurs(benchmark::State& state, bool encrypt) {
  Fixture& f = Data();
  for (auto _ : state) {
    if (encrypt)
      f.cipher->Encrypt(f.out.data(), f.plain.data(), kBytes);
    else
      f.cipher->Decrypt(f.out.data(), f.plain.data(), kBytes);
    benchmark::DoNotOptimize(f.out.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

void CipherEcb(benchmark::State& state, int direction) {
  Fixture& f = Data();
  for (auto _ : state) {
    for (uint32_t k = 0; k < kBytes; k += 8) BF_ecb_encrypt(&f.plain[k], &f.out[k], &f.reference, direction);
    benchmark::DoNotOptimize(f.out.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

// BF_encrypt on word pairs read little-endian: the same work as ours minus the
// block loop, with libcrypto's round code.
void CipherWords(benchmark::State& state, bool encrypt) {
  Fixture& f = Data();
  for (auto _ : state) {
    for (uint32_t k = 0; k < kBytes; k += 8) {
      BF_LONG words[2];
      std::memcpy(words, &f.plain[k], 8);
      encrypt ? BF_encrypt(words, &f.reference) : BF_decrypt(words, &f.reference);
      std::memcpy(&f.out[k], words, 8);
    }
    benchmark::DoNotOptimize(f.out.data());
    benchmark::ClobberMemory();
  }
  SetBytes(state);
}

void EncryptOurs(benchmark::State& state) { CipherOurs(state, true); }
void EncryptEcb(benchmark::State& state) { CipherEcb(state, BF_ENCRYPT); }
void EncryptWords(benchmark::State& state) { CipherWords(state, true); }
void DecryptOurs(benchmark::State& state) { CipherOurs(state, false); }
void DecryptEcb(benchmark::State& state) { CipherEcb(state, BF_DECRYPT); }
void DecryptWords(benchmark::State& state) { CipherWords(state, false); }

void KeyScheduleOurs(benchmark::State& state) {
  for (auto _ : state) {
    auto cipher = CBlowfish::Create(KeyBytes(), kKey.size());
    benchmark::DoNotOptimize(cipher.get());
  }
}

void KeyScheduleReference(benchmark::State& state) {
  BF_KEY schedule;
  for (auto _ : state) {
    BF_set_key(&schedule, static_cast<int>(kKey.size()), KeyBytes());
    benchmark::DoNotOptimize(&schedule);
    benchmark::ClobberMemory();
  }
}

std::string Query() {
  const std::vector<uint8_t> bytes = RandomBytes(kBytes, 1);  // no zero bytes, as a query
  return std::string(bytes.begin(), bytes.end());
}

void SealQuery(benchmark::State& state) {
  const std::string query = Query();
  std::string sealed;
  for (auto _ : state) {
    stagewell::crypto::Seal(query, kKey, sealed);
    benchmark::DoNotOptimize(sealed.data());
  }
  SetBytes(state);
}

// A segment opens at most 10000 characters (3333 bytes), so the 10000-byte query
// travels back as four sealed runs of 2500 bytes, one after another.
void OpenReplyQuery(benchmark::State& state) {
  const std::string query = Query();
  std::string reply;
  for (size_t at = 0; at < query.size(); at += 2500) {
    std::string run;
    stagewell::crypto::Seal(query.substr(at, 2500), kKey, run);
    reply += run;
  }
  std::string plain;
  stagewell::crypto::OpenReply(reply, kKey, plain);
  if (plain != query) state.SkipWithError("the reply did not open to the query");
  for (auto _ : state) {
    stagewell::crypto::OpenReply(reply, kKey, plain);
    benchmark::DoNotOptimize(plain.data());
  }
  SetBytes(state);
}

void EncodeHexBytes(benchmark::State& state) {
  Fixture& f = Data();
  for (auto _ : state) {
    std::string text = stagewell::crypto::EncodeHex(f.plain.data(), kBytes);
    benchmark::DoNotOptimize(text.data());
  }
  SetBytes(state);
}

void DecodeHexText(benchmark::State& state) {
  Fixture& f = Data();
  const std::string text = stagewell::crypto::EncodeHex(f.plain.data(), kBytes);
  for (auto _ : state) {
    std::vector<uint8_t> bytes = stagewell::crypto::DecodeHex(text);
    benchmark::DoNotOptimize(bytes.data());
  }
  SetBytes(state);
}

// The fastest repetition is the least disturbed by whatever else the machine runs.
double Fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

void Register(const char* name, void (*function)(benchmark::State&)) {
  benchmark::RegisterBenchmark(name, function)->ComputeStatistics("min", Fastest);
}

void RegisterAll() {
  Register("Encrypt/CBlowfish", EncryptOurs);
  Register("Encrypt/BF_ecb_encrypt", EncryptEcb);
  Register("Encrypt/BF_encrypt_words", EncryptWords);
  Register("Decrypt/CBlowfish", DecryptOurs);
  Register("Decrypt/BF_ecb_encrypt", DecryptEcb);
  Register("Decrypt/BF_decrypt_words", DecryptWords);
  Register("KeySchedule/CBlowfish", KeyScheduleOurs);
  Register("KeySchedule/BF_set_key", KeyScheduleReference);
  Register("Seal/10000_bytes", SealQuery);
  Register("OpenReply/10000_bytes_4_runs", OpenReplyQuery);
  Register("EncodeHex/10000_bytes", EncodeHexBytes);
  Register("DecodeHex/30000_chars", DecodeHexText);
}

// Keeps each benchmark's fastest repetition (or its one run), in CPU nanoseconds.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
      if (run.run_type == Run::RT_Aggregate && !fastest) continue;
      const std::string name = run.run_name.str();
      if (fastest || m_times.count(name) == 0) m_times[name] = run.GetAdjustedCPUTime();
    }
  }

  void PrintRatios() const {
    std::printf("\nRatios of the fastest repetitions (CPU time; > 1 means the second is faster)\n");
    Ratio("Encrypt: BF_ecb_encrypt / CBlowfish", "Encrypt/BF_ecb_encrypt", "Encrypt/CBlowfish", "target >= 2.5");
    Ratio("Encrypt: BF_encrypt words / CBlowfish", "Encrypt/BF_encrypt_words", "Encrypt/CBlowfish", "");
    Ratio("Decrypt: BF_ecb_encrypt / CBlowfish", "Decrypt/BF_ecb_encrypt", "Decrypt/CBlowfish", "target >= 2.5");
    Ratio("Decrypt: BF_decrypt words / CBlowfish", "Decrypt/BF_decrypt_words", "Decrypt/CBlowfish", "");
    std::printf("\nRatios of the fastest repetitions (CPU time; < 1 means the first is faster)\n");
    Ratio("Key schedule: CBlowfish / BF_set_key", "KeySchedule/CBlowfish", "KeySchedule/BF_set_key", "target <= 1.05");
    Ratio("EncodeHex / Encrypt, same bytes", "EncodeHex/10000_bytes", "Encrypt/CBlowfish", "target < 1");
    Ratio("DecodeHex / Decrypt, same bytes", "DecodeHex/30000_chars", "Decrypt/CBlowfish", "target < 1");
    Ratio("Seal / Encrypt", "Seal/10000_bytes", "Encrypt/CBlowfish", "");
    Ratio("OpenReply / Decrypt", "OpenReply/10000_bytes_4_runs", "Decrypt/CBlowfish", "");
  }

 private:
  void Ratio(const char* label, const std::string& a, const std::string& b, const char* target) const {
    const auto x = m_times.find(a);
    const auto y = m_times.find(b);
    if (x == m_times.end() || y == m_times.end()) return;  // filtered out
    std::printf("  %-40s %8.0f ns / %8.0f ns = %5.2f   %s\n", label, x->second, y->second, x->second / y->second,
                target);
  }

  std::map<std::string, double> m_times;
};

}  // namespace

int main(int argc, char** argv) {
  // Defaults for comparable ratios on a shared machine; the command line overrides them.
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=9";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  char aggregates[] = "--benchmark_display_aggregates_only=true";
  char minTime[] = "--benchmark_min_time=0.1";
  args.insert(args.begin() + 1, {repetitions, interleave, aggregates, minTime});
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RegisterAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
