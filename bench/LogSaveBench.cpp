// One run's log handling on a 64 MiB log.txt (load, header, 20 lines,
// end-of-run line, save) against a plain copy of the same file, both flushed
// to disk. Prints the median times and their ratio.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "run/RunLog.h"
#include "system/FileSystem.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

class BenchClock : public ILogClock {
public:
    LocalDateTime Now() override { return {2001, 10, 28, 3, 0, 0}; }
    std::string DateSeparator() override { return "/"; }
    std::string TimeSeparator() override { return ":"; }
};

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Realistic blocks: header, a few drive lines, the end-of-run line as it reads back.
std::string MakeLog(std::size_t size) {
    const std::string block =
        "=================================\r\n[2001/10/28 03:00:00] 実行開始\r\n"
        "=================================\r\n[2001/10/28 03:00:02] C:　デフラグを開始しました。\r\n"
        "[2001/10/28 03:41:17] C:　デフラグを完了しました。\r\n"
        "[2001/10/28 03:41:17] D:　ドライブが存在しないかデフラグできません。\r\n"
        "[2001/10/28 03:41:17] エラーが発生しましたが続行します。\r\n\r\n\r\n";
    std::string log;
    log.reserve(size + block.size());
    while (log.size() < size) log += block;
    return log;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp/quendro-bench/";
    ::mkdir(dir.c_str(), 0755);
    const std::string path = dir + "log.txt";
    const std::string copyPath = dir + "copy.txt";
    const std::string seed = MakeLog(64u << 20);
    IFileSystem& files = PlatformFileSystem();
    BenchClock clock;
    const int rounds = 9;
    std::vector<double> runTimes, copyTimes;

    for (int i = 0; i < rounds; ++i) {
        if (!WriteFile(path, seed)) return 1;

        // Like the save, the copy writes a new file.
        ::unlink(copyPath.c_str());
        auto start = std::chrono::steady_clock::now();
        {
            std::string bytes;
            if (!ReadWholeFile(files, path, bytes) || !WriteFile(copyPath, bytes)) return 1;
        }
        copyTimes.push_back(Seconds(start));

        start = std::chrono::steady_clock::now();
        {
            TRunLog log(clock);
            LoadRunLog(log, files, path);
            AppendRunHeader(log);
            for (int line = 0; line < 20; ++line) AddLogLine(log, "C:　デフラグを完了しました。");
            AppendEndOfRun(log);
            SaveRunLog(log, files, path);
        }
        runTimes.push_back(Seconds(start));
    }
    ::unlink(copyPath.c_str());
    ::unlink(path.c_str());
    const double run = Median(runTimes), copy = Median(copyTimes);
    std::printf("64 MiB log.txt, median of %d rounds\n", rounds);
    std::printf("  run log handling: %.3f s\n  plain copy:       %.3f s\n  ratio:            %.2fx\n", run,
                copy, run / copy);
    return 0;
}
