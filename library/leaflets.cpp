#include "plantscan/leaflets.h"

#include "leaflet_crop/detection.h"
#include "leaflet_crop/upright_crop.h"
#include "library/boundary.h"

namespace plantscan {

std::vector<Leaflet> findLeaflets(const cv::Mat& scan, const Outputs& outputs) {
    const cv::Mat image = detail::colourScan(scan);
    const ImageWriter write =
        outputs.writeImage ? outputs.writeImage : [](const std::string&, const cv::Mat&) {};
    const char* stage = "leaflet detection";
    try {
        const LeafletBoxes found = findLeafletBoxes(binarizeScan(image, write));
        stage = "cropping";
        std::vector<Leaflet> leaflets;
        for (std::size_t i = 0; i < found.boxes.size(); ++i)
            leaflets.push_back(
                {found.outlines[i], found.boxes[i], cropUpright(image, found.boxes[i])});
        write("drawing.jpg", found.drawing);
        return leaflets;
    } catch (...) {
        detail::rethrowAsLibraryError(stage, detail::Language::ENGLISH);
    }
}

}  // namespace plantscan
