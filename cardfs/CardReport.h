#pragma once
// The card's diagnostics as HTML, for service and support: the identification block, the
// partition table and boot sector ("FormatFresh.html", written by the format before it changes
// anything), and with them the free space, the root directory and the cluster chain of every
// song of the title index ("ExtendedInfo.html").

#include <cstdio>
#include <string>

namespace sondesk {

class CardFileSystem;

// The fixed head every report starts with: "<html><STYLE>", the style sheet, "</STYLE></HEAD><BODY>".
void WriteReportHead(std::FILE* f);
// The hardware, master boot record and boot sector tables, from the images the file system holds.
void WriteHardwareReport(std::FILE* f, CardFileSystem& fs);
// Head and hardware tables into `path`. False when the file cannot be created.
bool WriteFormatReport(CardFileSystem& fs, const std::string& path);
// Connects, then writes the whole report into `reportPath`; INDEX0.DAT is copied off the card
// into `index0Path` on the way. 1 when the report was written; 0 when the connect failed (no file
// is written then) or the report could not be created.
int WriteExtendedReport(CardFileSystem& fs, const std::string& reportPath, const std::string& index0Path);

}  // namespace sondesk
