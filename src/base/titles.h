#pragma once

#include <string>

// Window and dialog titles. `brand` is the brand text, file names are shown
// without their folder.

// "QMX Player": at start-up and after Close.
std::string MainWindowTitle(const std::string& brand);
// "QMX Player - Trip-001.avi": a single file, or a numbered sequence of one.
std::string FileWindowTitle(const std::string& brand, const std::string& fileName);
// "QMX Player - base.avi ... last.avi": a base file with its continuation files.
std::string GroupWindowTitle(const std::string& brand, const std::string& baseName,
                             const std::string& lastName);
// "QMX Player - Trip-001.avi ... Trip-003.avi": a numbered sequence of several files.
std::string SequenceWindowTitle(const std::string& brand, const std::string& firstName,
                                const std::string& lastName);
// "QMX Player - Live 10.0.0.7:1234": a live stream from the unit at `address`.
std::string StreamWindowTitle(const std::string& brand, const std::string& address);
// "About QMX Player".
std::string AboutBoxTitle(const std::string& brand);

// Caption of every message box.
inline constexpr const char* kMessageCaption = "Varden Video Player";
