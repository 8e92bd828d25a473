// In-process figures of the instrument's pure work and its file records, each next to a
// baseline measured in the same run: the same result computed the plain way, or the raw cost of
// the bytes it touches. bench/run_bench.py reads the JSON output and prints the ratios.
//
//   vemla-bench-inprocess --benchmark_out=FILE --benchmark_out_format=json
#include "pressure/configsyntax.h"
#include "pressure/modbusrtu.h"
#include "records/appsettings.h"
#include "records/errorrecord.h"
#include "records/storage.h"
#include "records/writer.h"

#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr uint8_t kAddress = 1;
constexpr size_t kMegabyte = 1 << 20;
// The window lists this many newest errors; the error screen reads one.
constexpr unsigned kErrorListLength = 8;
// A two-hour run read three lines about every 290 ms: some 25 000 rows.
constexpr int kTwoHourRows = 25000;
constexpr int kRowPeriodMs = 290;
const char kErrorLogPath[] = "/usr/share/vemla/logs/errors.log";

std::string resolved(const std::string &path)
{
    return platform::path(path);
}

// The standard's bitwise CRC-16, one bit per step: the baseline of the table-driven one.
uint16_t bitwiseCrc16(const uint8_t *data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

void BM_Crc16Frame(benchmark::State &state)
{
    uint8_t frame[modbusrtu::kRequestLength];
    modbusrtu::buildReadRequest(frame, kAddress);
    for (auto _ : state)
        benchmark::DoNotOptimize(modbusrtu::crc16(frame, modbusrtu::kRequestLength - 2));
}
BENCHMARK(BM_Crc16Frame);

void BM_Crc16FrameBitwise(benchmark::State &state)
{
    uint8_t frame[modbusrtu::kRequestLength];
    modbusrtu::buildReadRequest(frame, kAddress);
    for (auto _ : state)
        benchmark::DoNotOptimize(bitwiseCrc16(frame, modbusrtu::kRequestLength - 2));
}
BENCHMARK(BM_Crc16FrameBitwise);

std::vector<uint8_t> megabyte()
{
    std::vector<uint8_t> data(kMegabyte);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 131 + 7);
    return data;
}

void BM_Crc16Megabyte(benchmark::State &state)
{
    const std::vector<uint8_t> data = megabyte();
    for (auto _ : state)
        benchmark::DoNotOptimize(modbusrtu::crc16(data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_Crc16Megabyte);

void BM_Crc16MegabyteBitwise(benchmark::State &state)
{
    const std::vector<uint8_t> data = megabyte();
    for (auto _ : state)
        benchmark::DoNotOptimize(bitwiseCrc16(data.data(), data.size()));
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_Crc16MegabyteBitwise);

// A read request built and its answer validated: what one exchange costs the processor.
void BM_FrameBuildValidate(benchmark::State &state)
{
    uint8_t answer[modbusrtu::kReadResponseLength]
            = {kAddress, modbusrtu::kReadHoldingRegisters, 2, 0x3E, 0x80};
    modbusrtu::putCrc(answer, modbusrtu::kReadResponseLength);
    for (auto _ : state) {
        uint8_t request[modbusrtu::kRequestLength];
        modbusrtu::buildReadRequest(request, kAddress);
        modbusrtu::putCrc(request, modbusrtu::kRequestLength);
        uint16_t value = 0;
        benchmark::DoNotOptimize(
                modbusrtu::validateResponse(static_cast<int>(modbusrtu::RequestKind::Read), request,
                                            answer, modbusrtu::kReadResponseLength, &value));
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_FrameBuildValidate);

// The baseline: the two CRCs alone, which building and validating cannot avoid.
void BM_FrameCrcsOnly(benchmark::State &state)
{
    uint8_t request[modbusrtu::kRequestLength];
    modbusrtu::buildReadRequest(request, kAddress);
    const uint8_t answer[modbusrtu::kReadResponseLength] = {kAddress, 3, 2, 0x3E, 0x80};
    for (auto _ : state) {
        benchmark::DoNotOptimize(modbusrtu::crc16(request, modbusrtu::kRequestLength - 2));
        benchmark::DoNotOptimize(modbusrtu::crc16(answer, modbusrtu::kReadResponseLength - 2));
    }
}
BENCHMARK(BM_FrameCrcsOnly);

std::string pressureSettingsText()
{
    std::ifstream file(VEMLA_DATA_DIR "/pressure_settings.inc");
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

void BM_IncParsePressureSettings(benchmark::State &state)
{
    const std::string content = pressureSettingsText();
    for (auto _ : state) {
        const auto records = configsyntax::parseRecords(content);
        for (const auto &record : records)
            benchmark::DoNotOptimize(configsyntax::toInt(record.second));
    }
}
BENCHMARK(BM_IncParsePressureSettings);

// The baseline: the same text cut into its lines, the least any line format costs.
void BM_IncSplitLines(benchmark::State &state)
{
    const std::string content = pressureSettingsText();
    for (auto _ : state) {
        std::istringstream stream(content);
        std::string line;
        size_t count = 0;
        while (std::getline(stream, line))
            count += line.size();
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_IncSplitLines);

std::string errorLogFile(int records)
{
    return "/usr/share/vemla/logs/errors-" + std::to_string(records) + ".log";
}

// Error logs of the given sizes, written once in the instrument's own record format.
void layErrorLogs()
{
    QDir().mkpath(QString::fromStdString(resolved("/usr/share/vemla/logs")));
    const QMap<QString, bool> lanes {{"lane_1", true}, {"lane_2", false}};
    ErrorLogEntry entry;
    entry.lastMenu = 10;
    entry.errorCode = 8;
    entry.software = "1.3.0";
    entry.runLog = "/usr/share/vemla/logs/production/1_dPCR_20261206-120000.log";
    entry.vesselPressure = 3800;
    entry.linePressure = {1000, 500, 150};
    entry.activeLanes = &lanes;
    for (int records : {1000, 100000, 1000000}) {
        std::ofstream file(resolved(errorLogFile(records)), std::ios::trunc);
        file << kErrorLogHeader;
        for (int i = 0; i < records; ++i) {
            entry.runId = static_cast<uint16_t>(i);
            file << formatErrorRecord(entry, kErrorLogPath, "20261206-120000", nullptr).line;
        }
    }
}

void BM_ReadLatestErrors(benchmark::State &state)
{
    Writer writer(nullptr);
    const std::string path = errorLogFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::vector<std::string> lines;
        if (writer.readLatestErrors(path, &lines, kErrorListLength) != 0)
            state.SkipWithError("log not read");
        benchmark::DoNotOptimize(lines);
    }
}
BENCHMARK(BM_ReadLatestErrors)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The baseline: `wc -l` counting the lines of the same file, the cost of reading it once.
void BM_WcLines(benchmark::State &state)
{
    const std::string path = resolved(errorLogFile(static_cast<int>(state.range(0))));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char wc[] = "wc", lines[] = "-l";
    char *argv[] = {wc, lines, const_cast<char *>(path.c_str()), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "wc", &actions, nullptr, argv, environ) != 0
            || waitpid(pid, &status, 0) != pid || status != 0)
            state.SkipWithError("wc failed");
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_WcLines)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void fillTwoHourRun(Storage *storage)
{
    for (int i = 0; i < kTwoHourRows; ++i) {
        const Storage::Row row {static_cast<uint32_t>(i * kRowPeriodMs), 3800, 1000, 500, 150};
        storage->addRow(&row);
    }
}

void BM_CreateLogFileTwoHours(benchmark::State &state)
{
    Storage storage;
    fillTwoHourRun(&storage);
    Writer writer(nullptr);
    const std::string path = "/usr/share/vemla/logs/production/bench.log";
    QDir().mkpath(QString::fromStdString(resolved("/usr/share/vemla/logs/production")));
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(resolved(path).c_str());
        state.ResumeTiming();
        writer.createLogFile(path, storage);
    }
}
BENCHMARK(BM_CreateLogFileTwoHours)->Unit(benchmark::kMillisecond);

// The baseline: the same bytes, formatted beforehand, in one write and one fsync.
void BM_WriteLogBytesTwoHours(benchmark::State &state)
{
    Storage storage;
    fillTwoHourRun(&storage);
    Writer writer(nullptr);
    const std::string path = "/usr/share/vemla/logs/production/bench.log";
    std::remove(resolved(path).c_str());
    writer.createLogFile(path, storage);
    QFile made(QString::fromStdString(resolved(path)));
    made.open(QIODevice::ReadOnly);
    const QByteArray bytes = made.readAll();
    const std::string copy = resolved("/usr/share/vemla/logs/production/baseline.log");
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(copy.c_str());
        state.ResumeTiming();
        const int fd = ::open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.constData(), bytes.size()) != bytes.size()
            || ::fsync(fd) != 0)
            state.SkipWithError("baseline write failed");
        ::close(fd);
    }
}
BENCHMARK(BM_WriteLogBytesTwoHours)->Unit(benchmark::kMillisecond);

// One save and one load of the production ID through the settings store.
void BM_AppSettingsRoundTrip(benchmark::State &state)
{
    int id = 0;
    for (auto _ : state) {
        AppSettings settings;
        settings.saveProductionSetting(AppSettings::PRODUCTION_ID, ++id);
        benchmark::DoNotOptimize(settings.loadProductionSetting(AppSettings::PRODUCTION_ID));
    }
}
BENCHMARK(BM_AppSettingsRoundTrip)->Unit(benchmark::kMicrosecond);

// The baseline: the same key written and read back through QSettings on the same file.
void BM_QSettingsRoundTrip(benchmark::State &state)
{
    const QString file = QString::fromStdString(resolved("/usr/share/vemla/vemla.ini"));
    int id = 0;
    for (auto _ : state) {
        {
            QSettings settings(file, QSettings::IniFormat);
            settings.setValue("production/production_id", ++id);
        }
        QSettings settings(file, QSettings::IniFormat);
        benchmark::DoNotOptimize(settings.value("production/production_id").toInt());
    }
}
BENCHMARK(BM_QSettingsRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The sandbox root every file figure works in.
    QTemporaryDir sandbox;
    platform::setRoot(sandbox.path().toStdString());
    // "sync" after a setting is the caller's; the figures here are the store's own.
    platform::setCommandRunner([](const std::string &) { return 0; });
    layErrorLogs();
    // The writers report every file on standard output: kept out of the figures' terminal.
    std::ofstream discard("/dev/null");
    std::streambuf *console = std::cout.rdbuf(discard.rdbuf());
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout.rdbuf(console);
    benchmark::Shutdown();
    return 0;
}
