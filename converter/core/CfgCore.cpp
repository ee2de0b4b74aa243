#include "core/CfgCore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "core/Nearest.h"
#include "core/Parallel.h"
#include "platform/Files.h"

namespace strova {

namespace {

constexpr int kSortStack = 50;  // 25 pairs of bounds
constexpr int kMaxStationNumber = 32767;
constexpr std::size_t kChunkPixels = 1 << 15;

}  // namespace

template <typename Distance>
bool IndexSortHead(int n, const Distance* d, std::uint32_t* order, int head) {
    for (int j = 0; j <= n; ++j) order[j] = static_cast<std::uint32_t>(j);
    int stack[kSortStack];
    int top = 0;
    int l = 1;
    int r = n;
    for (;;) {
        if (r - l < 7) {
            for (int j = l + 1; j <= r; ++j) {
                const std::uint32_t t = order[j];
                const Distance v = d[t];
                int i = j - 1;
                for (; i >= 1 && d[order[i]] > v; --i) order[i + 1] = order[i];
                order[i + 1] = t;
            }
            if (top == 0) return true;
            r = stack[--top];
            l = stack[--top];
            continue;
        }
        const int k = (l + r) / 2;
        std::swap(order[k], order[l + 1]);
        if (d[order[l + 1]] > d[order[r]]) std::swap(order[l + 1], order[r]);
        if (d[order[l]] > d[order[r]]) std::swap(order[l], order[r]);
        if (d[order[l + 1]] > d[order[l]]) std::swap(order[l + 1], order[l]);
        const std::uint32_t t = order[l];
        const Distance v = d[t];
        int i = l + 1;
        int j = r;
        for (;;) {
            do ++i;
            while (d[order[i]] < v);
            do --j;
            while (d[order[j]] > v);
            if (j < i) break;
            std::swap(order[i], order[j]);
        }
        order[l] = order[j];
        order[j] = t;
        if (top == kSortStack) return false;
        // Push the larger part, go on with the smaller one; a part that starts
        // beyond the head can't change the head and is left as it is.
        int pushLow = i, pushHigh = r, nextLow = l, nextHigh = j - 1;
        if (r - i + 1 < j - l) {
            pushLow = l, pushHigh = j - 1, nextLow = i, nextHigh = r;
        }
        if (pushLow <= head) {
            stack[top++] = pushLow;
            stack[top++] = pushHigh;
        }
        if (nextLow <= head) {
            l = nextLow;
            r = nextHigh;
        } else {
            if (top == 0) return true;
            r = stack[--top];
            l = stack[--top];
        }
    }
}

template bool IndexSortHead(int, const double*, std::uint32_t*, int);
template bool IndexSortHead(int, const std::int64_t*, std::uint32_t*, int);

bool IndexSort(int n, const double* distances, std::uint32_t* order) {
    return IndexSortHead(n, distances, order, n);
}

template <typename Distance>
CfgRecord MakeCfgRecord(const PixelRecord& pixel, int n, const Distance* distances, const std::uint32_t* order) {
    CfgRecord record{};
    record.X = static_cast<std::int16_t>(pixel.x);
    record.Y = static_cast<std::int16_t>(pixel.y);
    if (n < 1) return record;
    record.Station[0] = static_cast<std::int16_t>(order[1]);
    if (distances[order[1]] == 0) return record;
    for (int k = 2; k <= std::min(n, 10); ++k) record.Station[k - 1] = static_cast<std::int16_t>(order[k]);
    return record;
}

template CfgRecord MakeCfgRecord(const PixelRecord&, int, const double*, const std::uint32_t*);
template CfgRecord MakeCfgRecord(const PixelRecord&, int, const std::int64_t*, const std::uint32_t*);

bool FitsCfgRecord(const PixelRecord& pixel) {
    return pixel.x >= INT16_MIN && pixel.x <= INT16_MAX && pixel.y >= INT16_MIN && pixel.y <= INT16_MAX;
}

std::uint64_t CfgProgressStep(std::uint64_t pixelCount) { return (pixelCount + 50) / 100; }

std::string CfgOpenErrorText(const std::string& path, int error) {
    return "File :" + path + "\r\ncan't open." + ReasonOnNewLine(error, false, "\r\n");
}

CfgRun::CfgRun(std::string amePath, std::string cfgPath, std::string tmpPath, int stationCount,
               std::uint64_t grayCount, StepTransaction& files)
    : amePath_(std::move(amePath)), cfgPath_(std::move(cfgPath)), tmpPath_(std::move(tmpPath)),
      stationCount_(stationCount), grayCount_(grayCount), files_(files) {
    int error = 0;
    ameFd_ = platform::OpenRegularFile(amePath_, error);
    if (ameFd_ < 0) openFailures_.push_back({amePath_, error});
    if (const StepFailure failure = files_.Open(0); failure.Failed()) openFailures_.push_back({cfgPath_, failure.error});
    tmpFd_ = platform::OpenRegularFile(tmpPath_, error);
    if (tmpFd_ < 0) openFailures_.push_back({tmpPath_, error});
    if (!openFailures_.empty()) error_ = CfgError::Open;
}

CfgRun::~CfgRun() {
    if (ameFd_ >= 0) ::close(ameFd_);
    if (tmpFd_ >= 0) ::close(tmpFd_);
}

CfgError CfgRun::Fail(CfgError error, std::string detail) {
    error_ = error;
    errorDetail_ = std::move(detail);
    return error_;
}

// Why the pixel file could not be read whole: a read error, or a file cut
// short.
CfgError CfgRun::PixelFileFault(int readError) {
    struct stat info {};
    if (readError == 0 && ::fstat(tmpFd_, &info) != 0) readError = errno;
    if (readError != 0) return Fail(CfgError::PixelRead, platform::ErrorText(readError));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t rest = size % sizeof(PixelRecord);  // bytes of no whole record
    return Fail(CfgError::PixelCount, std::to_string(size / sizeof(PixelRecord)) + " gray pixels" +
                                          (rest != 0 ? " and " + std::to_string(rest) + " bytes" : ""));
}

bool CfgRun::ReadStations(std::vector<AmeRecord>& stations) {
    stations.resize(static_cast<std::size_t>(std::max(stationCount_, 0)));
    const bool whole = ReadExactly(ameFd_, stations.data(), stations.size() * sizeof(AmeRecord), 0);
    ::close(ameFd_);
    ameFd_ = -1;
    return whole;
}

namespace {

struct CfgChunk {
    std::uint64_t first = 0;
    std::size_t count = 0;
    std::size_t computed = 0;  // records made: all, or those before a pixel that doesn't fit
    std::vector<PixelRecord> pixels;
    std::vector<CfgRecord> records;
    NearestStations::Scratch scratch;
};

}  // namespace

CfgError CfgRun::FindAdjacentStations(ProgressSink& progress, int threads) {
    if (!Ok()) return error_;
    std::vector<AmeRecord> stations;
    if (!ReadStations(stations)) return Fail(CfgError::StationRead);
    if (stationCount_ > kMaxStationNumber) return Fail(CfgError::TooManyStations);
    const std::uint64_t pixelCount = grayCount_;
    if (pixelCount > 0 && stations.empty()) return Fail(CfgError::NoStation);
    progress.SetToMinimum();
    const std::uint64_t step = CfgProgressStep(pixelCount);

    if (pixelCount > 0) {
        const NearestStations nearest(stations);
        std::atomic<bool> stopping{false};
        const int workers = threads > 0 ? threads : WorkerThreads();
        OrderedWorkers<CfgChunk> pool(workers, 2 * workers, [&](CfgChunk& chunk) {
            if (stopping) return;
            const auto misfit = std::find_if_not(chunk.pixels.begin(), chunk.pixels.begin() + chunk.count, FitsCfgRecord);
            chunk.computed = static_cast<std::size_t>(misfit - chunk.pixels.begin());
            nearest.Compute(chunk.pixels.data(), chunk.computed, chunk.records.data(), chunk.scratch);
        });
        std::uint64_t next = 0;
        for (;;) {
            for (CfgChunk* chunk; next < pixelCount && (chunk = pool.FreeSlot()) != nullptr;) {
                chunk->first = next;
                chunk->pixels.resize(kChunkPixels);
                chunk->records.resize(kChunkPixels);
                const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkPixels, pixelCount - next));
                const std::size_t bytes = want * sizeof(PixelRecord);
                if (ReadUpTo(tmpFd_, chunk->pixels.data(), bytes, next * sizeof(PixelRecord)) != bytes) {
                    stopping = true;
                    return PixelFileFault(errno);
                }
                chunk->count = want;
                next += want;
                pool.Submit();
            }
            CfgChunk* done = pool.WaitOldest();
            if (!done) break;
            if (std::fwrite(done->records.data(), sizeof(CfgRecord), done->computed, files_.Stream(0)) != done->computed) {
                stopping = true;
                return Fail(CfgError::Write, platform::ErrorText(files_.WriteError(0)));
            }
            progress.StepBy(static_cast<int>(ProgressMoves(step, done->first, done->first + done->computed)));
            progress.ProcessMessages();
            if (done->computed < done->count) {
                const PixelRecord& misfit = done->pixels[done->computed];
                stopping = true;
                return Fail(CfgError::PixelRange, "(" + std::to_string(misfit.x) + ", " + std::to_string(misfit.y) + ")");
            }
            pool.Release();
        }
    }
    ::close(tmpFd_);
    tmpFd_ = -1;
    commitFailure_ = files_.Commit();
    if (commitFailure_.fault == StepFault::WriteFailed) return Fail(CfgError::Write, platform::ErrorText(commitFailure_.error));
    if (commitFailure_.Failed()) return Fail(CfgError::Commit);
    return CfgError::None;
}

std::string CfgRun::ErrorText() const {
    if (error_ == CfgError::None) return {};
    if (error_ == CfgError::Commit) return files_.FailureText(commitFailure_, false);
    return WithOutcome(ProblemText());
}

std::vector<std::string> CfgRun::OpenErrorTexts() const {
    std::vector<std::string> texts;
    for (const CfgOpenFailure& failure : openFailures_)
        texts.push_back(WithOutcome(CfgOpenErrorText(failure.path, failure.error)));
    return texts;
}

std::string CfgRun::WithOutcome(const std::string& text) const {
    return text + "\r\n" + files_.OutcomeText(false, "\r\n");
}

std::string CfgRun::ProblemText() const {
    switch (error_) {
    case CfgError::Commit:
    case CfgError::None:
        return {};
    case CfgError::Open:
        return CfgOpenErrorText(openFailures_.front().path, openFailures_.front().error);
    case CfgError::StationRead:
        return "File :" + amePath_ + "\r\nholds fewer stations than were written.";
    case CfgError::TooManyStations:
        return "File :" + amePath_ + "\r\nholds more than 32767 stations, which a *.cfg file can't number.";
    case CfgError::NoStation:
        return "No AMeDAS station was written for this map,\r\nso the gray pixels have no nearest stations.";
    case CfgError::PixelCount:
        return "File :" + tmpPath_ + "\r\nholds " + errorDetail_ + ", but Step 1 wrote " +
               std::to_string(grayCount_) + ".";
    case CfgError::PixelRead:
        return "File :" + tmpPath_ + "\r\ncan't be read.\r\n" + errorDetail_;
    case CfgError::PixelRange:
        return "File :" + tmpPath_ + "\r\nGray pixel " + errorDetail_ +
               " lies beyond pixel 32767,\r\nwhich a *.cfg file can't hold.";
    case CfgError::Write:
        return "File :" + cfgPath_ + "\r\ncan't be written." + (errorDetail_.empty() ? "" : "\r\n" + errorDetail_);
    }
    return {};
}

}  // namespace strova
