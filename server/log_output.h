#pragma once

#include <QString>
#include <cstdio>
#include <string>

// How a line written by a headless server ranks, as syslog numbers it.
enum class TLogPriority { Error = 3, Warning = 4, Info = 6 };

// True when the handle is the stream that JOURNAL_STREAM ("device:inode", set
// by systemd for a service whose output goes to the journal) names.
bool IsJournalStream(int handle, const char* journalStream);

// The bytes written for one line: UTF-8, control characters turned into
// spaces so that no text (a player's name) can start a line of its own, and,
// for the journal, the priority first ("<6>"), which the journal takes as
// the line's priority and removes.
std::string LogLineText(const QString& line, TLogPriority priority, bool journal);

// Writes one line to the stream (standard output or error) and flushes it;
// with the priority when the stream is the journal.
void WriteLogLine(std::FILE* stream, const QString& line, TLogPriority priority);
