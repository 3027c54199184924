#include "library/ImportPipeline.h"

#include <chrono>
#include <cstdio>

#include "app/AtomicFile.h"
#include "app/Session.h"
#include "app/WorkFolder.h"
#include "library/SongNames.h"
#include "messages/Cp1252.h"
#include "midi/MidiToPayload.h"

namespace sondesk {

PreparedSong PrepareSong(Session& session, DeferredUi& ui, const std::string& source, const std::string& payloadPath) {
  PreparedSong song;
  if (IsMf3Name(source)) {
    song.mf3Source = true;
    return song;
  }
  MidiConversion conversion;
  song.converted = ConvertMidiToPayload(session, source, payloadPath, conversion) == 0;
  if (song.converted) {
    std::vector<std::uint8_t> payload;
    if (!ReadWholeFile(payloadPath, payload)) {
      session.ShowOpenError(payloadPath);
      song.built = Mf3Status::CannotOpen;
    } else {
      Mf3Header header = conversion.header;
      // The library file's name is UTF-8; the header carries the player's Windows-1252.
      song.built = BuildMf3(header, Utf8ToCp1252(SongNameOf(source)), payload, song.file);
    }
    song.own = {conversion.Title(), conversion.Author(), conversion.Publisher(), conversion.Copyright(),
                conversion.CopyrightCopy()};
  }
  std::remove(payloadPath.c_str());
  song.events = std::move(ui.events);
  ui.events.clear();
  return song;
}

struct ImportPipeline::Worker {
  Worker(Session& like, const std::string& workDir) : session(like, ui), folder(workDir) {
    // Every warning is kept; whether it is shown is decided on the Ui thread, song by song.
    session.noTextWarning = true;
  }
  DeferredUi ui;
  Session session;
  WorkFolder folder;
};

unsigned ImportPipeline::DefaultWorkers() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

ImportPipeline::ImportPipeline(Session& session, const std::vector<std::string>& files, unsigned workers)
    : session_(session), files_(files), done_(files.size()) {
  if (workers == 0) workers = 1;
  // Enough room that the workers go on while the Ui thread waits for a batch to reach the disk.
  ahead_ = 32 * static_cast<std::size_t>(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.push_back(std::make_unique<Worker>(session, session.workDir()));
  for (auto& w : workers_) threads_.emplace_back([this, &w] { Run(*w); });
}

ImportPipeline::~ImportPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  room_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void ImportPipeline::Run(Worker& w) {
  const std::string payloadPath = w.folder / "TEMP.MID";
  for (;;) {
    std::size_t i;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Bounded: converted songs wait in memory only a few at a time.
      room_.wait(lock, [&] { return stop_ || next_ >= files_.size() || next_ < taken_ + ahead_; });
      if (stop_ || next_ >= files_.size()) return;
      i = next_++;
    }
    PreparedSong song = PrepareSong(w.session, w.ui, files_[i], payloadPath);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_[i] = std::move(song);
    }
    ready_.notify_all();
  }
}

PreparedSong ImportPipeline::Take(std::size_t i) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!done_[i]) {
    ready_.wait_for(lock, std::chrono::milliseconds(40));
    if (done_[i]) break;
    lock.unlock();
    session_.ui().Pump();
    lock.lock();
  }
  PreparedSong song = std::move(*done_[i]);
  done_[i].reset();
  taken_ = i + 1;
  lock.unlock();
  room_.notify_all();
  return song;
}

}  // namespace sondesk
