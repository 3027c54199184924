#pragma once
// The conversions of an import, on every core: worker threads convert and compress the songs of
// one command ahead of the Ui thread, each in a session and a work folder of its own, and keep
// what they would have shown. The Ui thread takes the songs in the order of the files and does
// everything the user sees or answers (the kept boxes, the duplicate question, the catalogue, the
// name check, the progress) and every write to the library, as the one-at-a-time import does.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/DeferredUi.h"
#include "library/CatalogueLookup.h"
#include "midi/Mf3File.h"

namespace sondesk {

class Session;

// One song as a worker leaves it.
struct PreparedSong {
  bool mf3Source = false;          // an MF3 file: copied on the Ui thread, nothing done here
  bool converted = false;          // the payload was made
  Mf3Status built = Mf3Status::Ok;
  std::vector<std::uint8_t> file;  // the MF3 song as WriteMf3 writes it, before the catalogue
  SongOwnTexts own;
  std::vector<DeferredUi::Event> events;  // what the conversion showed, in order
};

// Converts `source` as the import does, into memory. `payloadPath` is the worker's own work file.
PreparedSong PrepareSong(Session& session, DeferredUi& ui, const std::string& source, const std::string& payloadPath);

class ImportPipeline {
 public:
  // Starts `workers` threads on `files` (at least one). The worker sessions are made here, on the
  // Ui thread, from `session` as it is now.
  ImportPipeline(Session& session, const std::vector<std::string>& files, unsigned workers);
  ImportPipeline(const ImportPipeline&) = delete;
  ImportPipeline& operator=(const ImportPipeline&) = delete;
  ~ImportPipeline();

  // Song `i`, taken in order from 0. Keeps the Ui's windows alive while it waits.
  PreparedSong Take(std::size_t i);

  // One worker per core; a single core still gets one, so the Ui thread stays free to draw.
  static unsigned DefaultWorkers();

 private:
  struct Worker;
  void Run(Worker& w);

  Session& session_;
  const std::vector<std::string>& files_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::optional<PreparedSong>> done_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::size_t next_ = 0;   // the next file a worker takes
  std::size_t taken_ = 0;  // songs the Ui thread has taken
  std::size_t ahead_;      // how far the workers may run ahead of the Ui thread
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace sondesk
