#include "plantscan/leaflets.h"

#include "leaflet_crop/leaflet_size.h"
#include "leaflet_crop/pipeline.h"
#include "leaflet_crop/upright_crop.h"
#include "library/boundary.h"

#include <cmath>
#include <stdexcept>

namespace plantscan {

std::vector<Leaflet> findLeaflets(const cv::Mat& scan, const Outputs& outputs, double dpi) {
    if (!(dpi > 0) || !std::isfinite(dpi))
        throw std::invalid_argument("the resolution must be a positive number of dots per inch");
    const cv::Mat image = detail::colourScan(scan);
    const ImageWriter write =
        outputs.writeImage ? outputs.writeImage : [](const std::string&, const cv::Mat&) {};
    const double millimetres = 25.4 / dpi;
    const char* stage = "leaflet detection";
    try {
        std::vector<Leaflet> leaflets;
        leaflet::forEachLeaflet(image, write, [&](const leaflet::FoundLeaflet& found) {
            stage = "measuring";
            const leaflet::LeafletSize size =
                leaflet::measureLeaflet(found.blackAndWhite, found.outline, found.fitted);
            stage = "cropping";
            leaflets.push_back({found.outline, found.box, leaflet::cropUpright(image, found.box),
                                static_cast<double>(size.area) * millimetres * millimetres,
                                size.length * millimetres, size.width * millimetres,
                                size.perimeter * millimetres});
        });
        return leaflets;
    } catch (...) {
        detail::rethrowAsLibraryError(stage, detail::Language::ENGLISH);
    }
}

}  // namespace plantscan
