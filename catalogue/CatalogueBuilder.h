#pragma once
// The eight index files of the card, built from the card list in memory.
//
//   INDEX0.DAT  one title record per song, by title; then the terminator (32 zero bytes)
//   INDEX1.DAT  songs grouped by category: a group header, then its songs by title; terminator
//   INDEX2.DAT  the same grouped by performer
//   INDEX3.DAT  one directory entry per category group, pointing at its header in INDEX1.DAT
//   INDEX4.DAT  the same for the performer groups of INDEX2.DAT
//   ALPHA0.DAT  letter table over INDEX0.DAT (record positions)
//   ALPHA1.DAT  letter table over INDEX3.DAT (directory entry numbers)
//   ALPHA2.DAT  letter table over INDEX4.DAT

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "app/SongEntry.h"
#include "catalogue/CatalogueRecords.h"

namespace sondesk {

enum class IndexFile : int { Index0, Index1, Index2, Index3, Index4, Alpha0, Alpha1, Alpha2 };
inline constexpr int kIndexFileCount = 8;

// "INDEX0.DAT" ... "ALPHA2.DAT"
const char* IndexFileName(IndexFile file);

// The order in which a rebuild hands the files to the card, which also renames them into place in
// this order: each index with the directory and letter table that point into it, the title index
// first. After a cut among the renames, an index and its tables are of one catalogue.
inline constexpr IndexFile kIndexFileOrder[kIndexFileCount] = {
    IndexFile::Index0, IndexFile::Alpha0, IndexFile::Index1, IndexFile::Index3,
    IndexFile::Alpha1, IndexFile::Index2, IndexFile::Index4, IndexFile::Alpha2};

struct CatalogueFileSet {
  std::array<std::vector<std::uint8_t>, kIndexFileCount> files;
  std::vector<std::uint8_t>& operator[](IndexFile f) { return files[static_cast<int>(f)]; }
  const std::vector<std::uint8_t>& operator[](IndexFile f) const { return files[static_cast<int>(f)]; }
};

// The rebuild's work store: one entry per song and the orders it is sorted in. It is made once
// and kept, so a rebuild allocates nothing per song.
class CatalogueWorkStore {
 public:
  CatalogueWorkStore();

  // Builds all eight files. False, with nothing built, when the list holds more songs than a card
  // catalogue can (16,000). `ready`, when given, is told of each file as soon as it is whole and
  // will not be touched again by this build, in the order of kIndexFileOrder.
  bool Build(const CardList& list, CatalogueFileSet& out, const std::function<void(IndexFile)>& ready = {});

  // The files of the last rebuild, whose buffers the next rebuild writes over: lent to the write
  // and given back, they are neither allocated nor zero-filled again.
  CatalogueFileSet& output() { return output_; }

 private:
  struct Entry {
    std::uint16_t number;
    std::uint32_t groupRank;  // place of the entry's group among the groups of the pass
    std::array<char, kCatalogueTextField> title;
    std::array<char, kCatalogueTextField> category;
    std::array<char, kCatalogueTextField> performer;
  };
  // The title order is sorted on these, side by side, so that most comparisons touch no entry.
  struct TitleKey {
    std::uint64_t prefix;  // the title's first 8 bytes, big-endian
    std::uint32_t entry;
  };
  void FillEntries(const CardList& list);
  void RankGroups(bool byPerformer);
  void WriteGrouped(bool byPerformer, std::vector<std::uint8_t>& index, std::vector<std::uint8_t>& directory,
                    std::vector<std::uint8_t>& letters);

  std::vector<Entry> entries_;
  std::vector<std::uint16_t> sorted_;      // entry indexes in the order of the file being written
  std::vector<std::uint16_t> titleOrder_;  // entry indexes in title order
  std::vector<TitleKey> titleKeys_;
  std::vector<TitleKey> titleScratch_;
  std::vector<std::uint16_t> groups_;      // one entry index per distinct group, in group order
  std::vector<std::uint32_t> groupSlots_;  // open addressing: group number by name, or empty
  std::vector<std::uint32_t> rankScratch_;
  CatalogueFileSet output_;
};

}  // namespace sondesk
