// The batch: a check of every member, then the pool of workers.
#include "basin/batch/batch.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "basin/run/element_check.hpp"
#include "basin/run/element_flow.hpp"
#include "core/format.hpp"

namespace vesparil {

namespace {

// Members taken at a time, and advanced together through each sub-basin: enough to overlap
// their step-to-step dependencies and to make the counter's traffic negligible, few enough to
// share the tail of the batch out evenly.
constexpr std::size_t kBlockMembers = kGroupMembers;

std::string member_prefix(std::size_t member) {
    return "member " + format_int(static_cast<std::int64_t>(member)) + ", ";
}

// What the workers share besides their inputs: the counter, the stop flag and the first error.
struct Pool {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable finished;
    unsigned running = 0;
    std::size_t failed_member = static_cast<std::size_t>(-1);
    std::optional<Error> error;

    void fail(std::size_t member, Error failure) {
        std::lock_guard lock(mutex);
        if (member < failed_member) {
            failed_member = member;
            error = std::move(failure);
        }
        stop.store(true, std::memory_order_relaxed);
    }
};

bool pool_stop_requested(void* context) {
    return static_cast<Pool*>(context)->stop.load(std::memory_order_relaxed);
}

// A failed group is run again member by member, so the error names the member that made it.
void report_failure(const BasinModel* const* members, std::size_t first, std::size_t count,
                    const Network& network, const BasinForcing& forcing,
                    const std::vector<bool>& needed, Error failure, Pool& pool) {
    std::vector<std::vector<double>> outflows;
    for (std::size_t g = 0; g < count; ++g) {
        auto ran = run_elements(*members[g], network, forcing, needed, outflows, {});
        if (!ran) {
            failure = std::move(ran).error();
            failure.message = member_prefix(first + g) + failure.message;
            pool.fail(first + g, std::move(failure));
            return;
        }
    }
    pool.fail(first, std::move(failure));
}

void work_blocks(const BasinModel& model, const Network& network, const BasinForcing& forcing,
                 const BatchRequest& request, const std::vector<bool>& needed, BatchResult& result,
                 Pool& pool, std::size_t& first) {
    std::vector<BasinModel> own(kBlockMembers, model);
    std::vector<std::vector<std::vector<double>>> outflows(kBlockMembers);
    const BasinModel* members[kBlockMembers];
    std::vector<std::vector<double>>* member_outflows[kBlockMembers];
    for (std::size_t g = 0; g < kBlockMembers; ++g) {
        members[g] = &own[g];
        member_outflows[g] = &outflows[g];
    }
    GroupScratch scratch;
    ScoreScratch score_scratch;
    const std::size_t width = request.columns.size();
    const std::size_t count = result.scores.size();
    const InterruptCheck check{pool_stop_requested, &pool};
    while (!pool.stop.load(std::memory_order_relaxed)) {
        first = pool.next.fetch_add(kBlockMembers, std::memory_order_relaxed);
        if (first >= count) break;
        const std::size_t block = std::min(count - first, kBlockMembers);
        // Each member's values applied once and its elements checked before any work: the
        // block was taken in order, so the lowest member that fails its check is reported.
        for (std::size_t g = 0; g < block; ++g) {
            const double* row = request.parameters.data() + (first + g) * width;
            for (std::size_t c = 0; c < width; ++c) {
                apply_parameter(own[g], request.columns[c], row[c]);
            }
            auto checked = check_member(own[g], request, first + g);
            if (!checked) return pool.fail(first + g, std::move(checked).error());
        }
        auto ran = run_elements_group({members, block}, network, forcing, needed,
                                      {member_outflows, block}, scratch, check);
        if (!ran) {
            if (ran.error().kind == ErrorKind::Interrupted) return;
            report_failure(members, first, block, network, forcing, needed, std::move(ran).error(),
                           pool);
            return;
        }
        for (std::size_t g = 0; g < block; ++g) {
            const std::size_t member = first + g;
            const std::vector<double>& flow = outflows[g][request.at];
            auto score = member_score(request.scoring, flow, request.observed, score_scratch);
            if (!score) {
                Error failure = std::move(score).error();
                failure.message = member_prefix(member) + failure.message;
                pool.fail(member, std::move(failure));
                return;
            }
            result.scores[member] = score.value();
            if (!request.outflow_rows.empty()) {
                std::copy(flow.begin(), flow.end(),
                          request.outflow_rows.begin() + member * flow.size());
            }
        }
    }
}

// A worker's whole body: nothing may leave a thread's function (the process would end), so any
// exception stops the pool as the error the single run would raise, charged to the block's
// first member (a member's allocation that fails raises MemoryError from `run` too).
void work(const BasinModel& model, const Network& network, const BasinForcing& forcing,
          const BatchRequest& request, const std::vector<bool>& needed, BatchResult& result,
          Pool& pool) noexcept {
    std::size_t first = 0;
    std::optional<Error> failure;
    try {
        work_blocks(model, network, forcing, request, needed, result, pool, first);
        return;
    } catch (const std::bad_alloc&) {
        failure = Error::memory();
    } catch (const std::length_error&) {
        failure = Error::internal("capacity overflow");
    } catch (const std::exception& exception) {
        failure = Error::internal(exception.what());
    } catch (...) {
        failure = Error::internal("");
    }
    try {
        if (failure->kind != ErrorKind::Memory) {
            failure->message = member_prefix(first) + failure->message;
        }
        pool.fail(first, std::move(*failure));
    } catch (...) {
        // No memory left even for the message: the stop flag alone still ends the batch.
        pool.stop.store(true, std::memory_order_relaxed);
        std::lock_guard lock(pool.mutex);
        if (!pool.error) pool.error = Error::memory();
    }
}

}  // namespace

Result<void> check_values(const BatchRequest& request) {
    const std::size_t width = request.columns.size();
    const std::size_t members = width == 0 ? 0 : request.parameters.size() / width;
    for (std::size_t member = 0; member < members; ++member) {
        const double* row = request.parameters.data() + member * width;
        for (std::size_t c = 0; c < width; ++c) {
            const std::string why = check_value(request.columns[c], row[c]);
            if (why.empty()) continue;
            return Error::value(member_prefix(member) + "column '" + request.columns[c].name +
                                "': " + why);
        }
    }
    return {};
}

Result<void> check_member(const BasinModel& own, const BatchRequest& request, std::size_t member) {
    // Each element set by a column, checked once with all of its values in place, and named by
    // its first column.
    const std::size_t width = request.columns.size();
    for (std::size_t c = 0; c < width; ++c) {
        const std::size_t element = request.columns[c].element;
        bool seen = false;
        for (std::size_t before = 0; before < c; ++before) {
            seen = seen || request.columns[before].element == element;
        }
        if (seen) continue;
        // The storage-indication table depends on no column: built for the first member.
        auto checked = check_element(own.elements[element], own.time_step, member == 0);
        if (!checked) {
            Error failure = std::move(checked).error();
            failure.message = member_prefix(member) + "column '" + request.columns[c].name +
                              "': " + failure.message;
            return failure;
        }
    }
    return {};
}

Result<BatchResult> run_batch(const BasinModel& model, const Network& network,
                              const BasinForcing& forcing, const BatchRequest& request,
                              InterruptCheck interrupt) {
    const std::size_t width = request.columns.size();
    const std::size_t members = width == 0 ? 0 : request.parameters.size() / width;
    BatchResult result;
    result.scores.assign(members, 0.0);
    if (!request.outflow_rows.empty() && request.outflow_rows.size() != members * forcing.steps) {
        return Error::internal("the outflow rows do not match the members");
    }
    if (members == 0) return result;
    // The elements no column sets are the same in every member: checked once, here (those the
    // columns set are checked per member by the workers, check_member).
    std::vector<bool> set(model.elements.size(), false);
    for (const ParameterColumn& column : request.columns) set[column.element] = true;
    auto base = check_elements(model, set);
    if (!base) {
        Error failure = std::move(base).error();
        if (failure.kind == ErrorKind::Value) failure.message = member_prefix(0) + failure.message;
        return failure;
    }
    const std::vector<bool> needed = upstream_of(network, request.at);

    unsigned threads = request.threads != 0 ? request.threads : std::thread::hardware_concurrency();
    const std::size_t blocks = (members + kBlockMembers - 1) / kBlockMembers;
    threads = static_cast<unsigned>(std::clamp<std::size_t>(threads, 1, blocks));

    Pool pool;
    pool.running = threads;
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) {
        try {
            workers.emplace_back([&] {
                work(model, network, forcing, request, needed, result, pool);
                std::lock_guard lock(pool.mutex);
                --pool.running;
                pool.finished.notify_one();
            });
        } catch (const std::system_error&) {
            // The system gave fewer threads than asked: the ones started share the members.
            std::lock_guard lock(pool.mutex);
            pool.running -= threads - t;
            break;
        }
    }
    if (workers.empty()) return Error::runtime("no worker thread could be started");
    // The calling thread answers Ctrl-C while the workers run.
    bool interrupted = false;
    {
        std::unique_lock lock(pool.mutex);
        while (pool.running > 0) {
            if (pool.finished.wait_for(lock, std::chrono::milliseconds(20),
                                       [&] { return pool.running == 0; })) {
                break;
            }
            lock.unlock();
            if (!interrupted && interrupt.stop_requested()) {
                interrupted = true;
                pool.stop.store(true, std::memory_order_relaxed);
            }
            lock.lock();
        }
    }
    for (std::thread& worker : workers) worker.join();
    if (interrupted) return Error::interrupted();
    if (pool.error) return std::move(*pool.error);
    return result;
}

}  // namespace vesparil
