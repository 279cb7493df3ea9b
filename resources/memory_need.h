// What a scan will need before the costly work starts, against what the process may use.
#pragma once

#include "resources/resources.h"

#include <cstdint>
#include <optional>
#include <string>

namespace plantscan::resources {

// Peak memory of one run, a x pixels + b, with two OpenCV threads: never below the peak
// measured on the scans of bench/memory/memory_estimate.sh and at most 15 % above it (3 to 10 %
// today), so that a run under a limit 10 % below its peak is refused and one 15 % above it is
// not. The bench measures the peaks again and prints the pair: run it after any change to what a
// stage allocates.
struct MemoryNeed {
    std::uint64_t bytesPerPixel;
    std::uint64_t fixedBytes;
    std::uint64_t bytesFor(std::uint64_t pixels) const {
        return bytesPerPixel * pixels + fixedBytes;
    }
};

// section_measure: grabCut's graph, colours and models, and the images of every stage. Peaks
// measured: 179 and 312-316 MB on plain 4 and 9 MP sections, 179 MB on a colour-rich 4 MP one,
// 129-130 MB on 1.44 MP of pure noise (every pixel a colour of its own, grabCut's costliest
// input), which sets the fixed part with the 9 MP section. The bench's fit (26, 100 MB) leaves
// the 9 MP peak 2 % below, and it moves by a few MB with the threads' timing: one byte more
// per pixel and 3 MB less leave every peak 3 to 4 % below, the 4 MP ones 12 % below.
inline constexpr MemoryNeed SECTION_MEASURE_NEED{27, 97 * 1024 * 1024};
// leaflet_crop: the decoded scan, its gray and black-and-white images, the drawing, the crops.
// Peaks measured: 67, 92, 135 and 264 MB at 1, 4, 9 and 24 MP.
inline constexpr MemoryNeed LEAFLET_CROP_NEED{10, 60 * 1024 * 1024};

// The bytes a batch grants each of its children: they share the batch's memory, so a child
// checks against its share rather than against what the whole machine or job has left. The
// older name is still read, after the new one: scripts written for section_batch set it.
inline constexpr const char* MEMORY_SHARE_VARIABLE = "PLANT_SCAN_MEMORY_SHARE";
inline constexpr const char* OLDER_MEMORY_SHARE_VARIABLE = "SECTION_BATCH_MEMORY_SHARE";

// Which limit is the tightest.
enum class MemoryLimit { NONE, AVAILABLE, GROUP, PROCESS, SHARE };

struct MemoryVerdict {
    bool fits = true;
    std::uint64_t needed = 0;
    std::uint64_t available = 0;  // under `limit`
    MemoryLimit limit = MemoryLimit::NONE;
};

// A decimal byte count, as the batch writes it; nothing for anything else.
std::optional<std::uint64_t> parseMemoryShare(const char* text);

// The share, when given, stands for the machine's free memory and the group's limit, which the
// batch's children share; the process's own limit is each one's own. Under the free memory and
// the group's limit, the memory the process already holds (room.held) is room for it: the need
// counts it.
MemoryVerdict checkMemory(std::uint64_t pixels, const MemoryNeed& need, const MemoryRoom& room,
                          std::optional<std::uint64_t> share);

// The share given in this process's environment, under either name.
std::optional<std::uint64_t> memoryShareOfThisProcess();

// The same for this process, from the machine and its environment.
MemoryVerdict checkMemoryOfThisProcess(std::uint64_t pixels, const MemoryNeed& need);

// French is section_measure's, with its prefix; English is leaflet_crop's.
enum class Language { FRENCH, ENGLISH };

// The refusal of a scan of `pixels` named `scanName` that would not fit in the memory this
// process may use, as memoryShortageMessage words it; nothing when it fits. The one check the
// programs, the batch's single-scan mode and the Python module make.
std::optional<std::string> memoryRefusal(std::uint64_t pixels, const MemoryNeed& need,
                                         const std::string& scanName, Language language,
                                         const std::string& program = "section_measure",
                                         const std::string& batch = "section_batch");

// Names the scan and says what it needs, what is available and what to do (no newline). In
// French, `program` speaks, run by `batch`, which grants the share.
std::string memoryShortageMessage(const MemoryVerdict& verdict, const std::string& scanPath,
                                  Language language, const std::string& program = "section_measure",
                                  const std::string& batch = "section_batch");

}  // namespace plantscan::resources
