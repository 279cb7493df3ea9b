#include "leaflet_crop/pipeline.h"

#include "leaflet_crop/detection.h"
#include "leaflet_crop/output_files.h"

namespace plantscan::leaflet {

void forEachLeaflet(const cv::Mat& image, const output::ImageWriter& write,
                    const std::function<void(const FoundLeaflet&)>& visit) {
    const cv::Mat blackAndWhite = binarizeScan(image, write);
    const LeafletBoxes found = findLeafletBoxes(blackAndWhite);
    for (std::size_t i = 0; i < found.boxes.size(); ++i) {
        visit({static_cast<int>(i), found.outlines[i], found.boxes[i], found.fitted[i],
               blackAndWhite});
    }
    write(DRAWING_FILE, found.drawing);
}

}  // namespace plantscan::leaflet
