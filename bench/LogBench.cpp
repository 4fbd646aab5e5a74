// What the diagnostic log costs: a call on a level the mask turns off, and records per
// second with the flush per record, beside plain fwrite + fflush of the same bytes.
// Sets up its own configuration (mask 1, a limit far away) and puts everything back.
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/LogConfig.h"
#include "log/Logger.h"

namespace {

const char kModule[] = "Olvane_Quorlenlog_Zindra";
const char kPrefix[] = "LogBench";
constexpr int kOffCalls = 20000000;
constexpr int kOffRounds = 5;
// Small batches, the logger's and the plain stream's in turn, so that a busy moment of
// the machine weighs on both sides of a ratio alike.
constexpr int kRecords = 2000;
constexpr int kRounds = 25;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool ReadAll(const std::string& path, std::string* bytes, long from = 0) {
    bytes->clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    if (from > 0 && fseek(f, from, SEEK_SET) != 0) {
        fclose(f);
        return false;
    }
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->append(chunk, n);
    fclose(f);
    return true;
}

bool WriteAll(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string SpecialFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return path;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The configuration file as it was, put back on every way out.
class SavedConfig {
public:
    SavedConfig() {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        path_ = std::string(windows) + "\\" + kLogConfigFile;
        had_ = ReadAll(path_, &bytes_);
    }
    ~SavedConfig() {
        if (had_) WriteAll(path_, bytes_);
        else DeleteFileA(path_.c_str());
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string bytes_;
    bool had_ = false;
};

}  // namespace

int main() {
    SavedConfig saved;
    if (!WriteAll(saved.Path(),
                  "[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n"
                  "[Modules]\r\nOlvane_Quorlenlog_Zindra=1\r\nDEFAULT=1\r\n"
                  "[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\n"
                  "LOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n"
                  "[LogFileSize]\r\nFILESIZE=2000000000\r\n")) {
        fprintf(stderr, "cannot write %s\n", saved.Path().c_str());
        return 1;
    }
    const std::string folder = SpecialFolder(CSIDL_APPDATA);
    const std::string logPath = folder + "\\LogBench_Olvane_Quorlenlog_Zindra.log";
    const std::string rawPath = folder + "\\LogBench_raw.log";
    DeleteFileA(logPath.c_str());
    DeleteFileA(rawPath.c_str());

    int rc = 0;
    {
        Logger logger(kModule, kPrefix);
        if (!logger.HasStream() || logger.LevelMask() != 1 || logPath != logger.LogPath()) {
            fprintf(stderr, "logger not set up: mask %d, path %s\n", logger.LevelMask(), logger.LogPath());
            rc = 1;
        } else {
            // A level the mask turns off: the enabled and mask tests only.
            std::vector<double> offNs;
            for (int round = 0; round < kOffRounds; ++round) {
                double start = Now();
                for (int i = 0; i < kOffCalls; ++i)
                    logger.LogDetailedTrace("%s - %d", "Quorlen::FileReplace", i);
                offNs.push_back((Now() - start) * 1e9 / kOffCalls);
            }

            // Records through LogError, then the very same bytes through a plain stream.
            std::vector<double> loggerRate, rawRate, ratio;
            std::vector<std::string> records;
            long logged = 0;  // bytes of the logger's file measured so far
            for (int round = 0; round < kRounds; ++round) {
                double start = Now();
                for (int i = 0; i < kRecords; ++i)
                    logger.LogError("%s%s%s - %d", "Quorlen::CopyFileToSameDrive",
                                    " CopyFileA failed for ", "C:\\vexo_regions.txt", i);
                loggerRate.push_back(kRecords / (Now() - start));

                std::string bytes;
                ReadAll(logPath, &bytes, logged);
                logged += static_cast<long>(bytes.size());
                records.clear();
                for (size_t at = 0; at < bytes.size();) {
                    size_t end = bytes.find("\r\r\n", at);
                    if (end == std::string::npos) break;
                    records.push_back(bytes.substr(at, end + 3 - at));
                    at = end + 3;
                }
                if (records.size() != static_cast<size_t>(kRecords)) {
                    fprintf(stderr, "expected %d records, found %u\n", kRecords,
                            static_cast<unsigned>(records.size()));
                    rc = 1;
                    break;
                }

                FILE* raw = fopen(rawPath.c_str(), "ab");
                if (!raw) {
                    fprintf(stderr, "cannot open %s\n", rawPath.c_str());
                    rc = 1;
                    break;
                }
                start = Now();
                for (const std::string& record : records) {
                    fwrite(record.data(), 1, record.size(), raw);
                    fflush(raw);
                }
                rawRate.push_back(kRecords / (Now() - start));
                ratio.push_back(loggerRate.back() / rawRate.back());
                fclose(raw);
            }

            if (rc == 0) {
                double off = Median(offNs);
                double perSecond = Median(loggerRate);
                double plain = Median(rawRate);
                size_t bytesPerRecord = 0;
                for (const std::string& r : records) bytesPerRecord += r.size();
                bytesPerRecord /= records.size();
                printf("level turned off:  %.2f ns per call (median of %d x %d calls)\n", off,
                       kOffRounds, kOffCalls);
                printf("LogError:          %.0f records/s (median of %d batches of %d, %u bytes each)\n",
                       perSecond, kRounds, kRecords, static_cast<unsigned>(bytesPerRecord));
                printf("fwrite + fflush:   %.0f records/s (the same bytes, in turn with the logger)\n",
                       plain);
                printf("ratio logger/raw:  %.2f (median of the batches' ratios)\n", Median(ratio));
            }
        }
    }
    DeleteFileA(logPath.c_str());
    DeleteFileA(rawPath.c_str());
    return rc;
}
