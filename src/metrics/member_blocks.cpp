#include "metrics/member_blocks.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

namespace vesparil {

namespace {

class Blocks {
public:
    Blocks(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
           std::span<const std::span<const double>> members, std::span<double> out)
        : kind_(kind),
          options_(options),
          observed_(observed),
          members_(members),
          out_(out),
          count_((members.size() + kBlockMembers - 1) / kBlockMembers) {}

    std::size_t count() const { return count_; }

    // Scores block `b`. Once the first block has made the observed sums, scoring only reads
    // them, so blocks may run at once.
    void score(std::size_t b) {
        const std::size_t first = b * kBlockMembers;
        const std::size_t rows = std::min(kBlockMembers, members_.size() - first);
        std::array<const double*, kBlockMembers> data;  // the first `rows` are set
        for (std::size_t k = 0; k < rows; ++k) data[k] = members_[first + k].data();
        const std::size_t width = score_width(kind_);
        score_rows(kind_, options_, observed_, {data.data(), rows},
                   out_.subspan(first * width, rows * width));
    }

    // The next block to score, or count() when none is left or a stop was asked for.
    std::size_t take() {
        if (stopped_.load(std::memory_order_relaxed)) return count_;
        return std::min(next_.fetch_add(1, std::memory_order_relaxed), count_);
    }
    void stop() { stopped_.store(true, std::memory_order_relaxed); }

    std::uint64_t values_per_block() const {
        return static_cast<std::uint64_t>(kBlockMembers) * observed_.values.size();
    }

private:
    ScoreKind kind_;
    const ScoreOptions& options_;
    ObservedSums& observed_;
    std::span<const std::span<const double>> members_;
    std::span<double> out_;
    std::size_t count_;
    std::atomic<std::size_t> next_{1};  // block 0 is scored first, alone
    std::atomic<bool> stopped_{false};
};

unsigned helper_count(std::uint64_t values, std::size_t blocks) {
    if (values < kThreadedValues || blocks < 3) return 0;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(
        std::min<std::size_t>({cores - 1, kMaxHelpers, blocks - 2}));
}

}  // namespace

Result<void> score_blocks(ScoreKind kind, const ScoreOptions& options, ObservedSums& observed,
                          std::span<const std::span<const double>> members, std::span<double> out,
                          InterruptCounter& counter) {
    Blocks blocks(kind, options, observed, members, out);
    if (blocks.count() == 0) return {};
    // The first block makes the observed sums that every later one reads.
    blocks.score(0);
    if (counter.stop_requested_after(blocks.values_per_block())) return Error::interrupted();
    if (blocks.count() == 1) return {};

    const std::uint64_t values =
        static_cast<std::uint64_t>(members.size()) * observed.values.size();
    std::vector<std::jthread> helpers;
    try {
        for (unsigned h = 0; h < helper_count(values, blocks.count()); ++h) {
            helpers.emplace_back([&blocks] {
                for (std::size_t b = blocks.take(); b < blocks.count(); b = blocks.take()) {
                    blocks.score(b);
                }
            });
        }
    } catch (const std::system_error&) {
        // No thread to be had: the calling thread scores what is left on its own.
    }
    bool interrupted = false;
    for (std::size_t b = blocks.take(); b < blocks.count(); b = blocks.take()) {
        blocks.score(b);
        if (counter.stop_requested_after(blocks.values_per_block())) {
            blocks.stop();
            interrupted = true;
        }
    }
    helpers.clear();  // joins them
    if (interrupted) return Error::interrupted();
    return {};
}

}  // namespace vesparil
