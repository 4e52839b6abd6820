#include "format/run_watch.h"

#include "format/span_list.h"

namespace trv::format {

void RunWatch::RequestStarting(std::int64_t offset, bool write) {
  SpinLock::Hold hold(lock_);
  pending_ = Request{offset, write, ++requests_};
}

void RunWatch::RequestReturned() {
  SpinLock::Hold hold(lock_);
  pending_.reset();
}

void RunWatch::Publish(const EraseResult& sofar) {
  SpinLock::Hold hold(lock_);
  published_ = sofar;
}

void RunWatch::Transferred(std::int64_t offset, std::int64_t size, bool written) {
  SpinLock::Hold hold(lock_);
  AppendSpan(written ? published_.written : published_.unwritten, offset, offset + size);
  if (written) published_.bytesWritten += size;
}

void RunWatch::PublishEnded(const EraseResult& run) {
  SpinLock::Hold hold(lock_);
  published_ = run;
  ended_ = true;
}

std::optional<RunWatch::Request> RunWatch::Pending() const {
  SpinLock::Hold hold(lock_);
  return pending_;
}

RunWatch::Copy RunWatch::Snapshot() const {
  SpinLock::Hold hold(lock_);
  Copy copy{published_, ended_};
  if (ended_) return copy;
  // Stopped here: where the run stood, a write still with the disk included.
  copy.run.outcome = EraseOutcome::Cancelled;
  copy.run.endOffset = 0;
  if (pending_ && pending_->write) {
    copy.run.pendingOffset = pending_->offset;
    copy.run.endOffset = pending_->offset;
  } else {
    for (const auto* spans : {&published_.written, &published_.unwritten})
      if (!spans->empty() && spans->back().end > copy.run.endOffset) copy.run.endOffset = spans->back().end;
  }
  return copy;
}

void RunWatch::SetSaveFromCopy(std::function<void()> save) {
  SpinLock::Hold hold(lock_);
  saveFromCopy_ = std::move(save);
}

bool RunWatch::SaveFromCopy() {
  std::function<void()> save;
  {
    SpinLock::Hold hold(lock_);
    save = std::move(saveFromCopy_);
    saveFromCopy_ = nullptr;
  }
  if (!save) return false;
  save();
  return true;
}

} // namespace trv::format
