// Unpacking through an outside program (unzip, lha) without letting it touch the
// user's files: the program unpacks into a new private work folder inside the
// target, and only when it reports success are its files moved into the target,
// each with the checks and the overwrite question of the own codec's road.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ops/ArchiveStatus.h"

class CExtractTarget;

// run unpacks into the work folder (a Windows path) and returns the program's exit
// code; succeeded tells whether that code is a success. Done when every file was
// placed (or declined), failed when one was not (each reported); nullopt when the
// program failed and nothing was moved: the caller takes its own reader instead,
// which reports each member.
std::optional<ArchiveStatus> UnpackThroughWorkFolder(CExtractTarget& target, const std::function<int(const std::string& work)>& run,
                            const std::function<bool(int)>& succeeded);
