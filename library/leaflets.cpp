#include "plantscan/leaflets.h"

#include "leaflet_crop/leaflet_shape.h"
#include "leaflet_crop/leaflet_size.h"
#include "leaflet_crop/pipeline.h"
#include "leaflet_crop/upright_crop.h"
#include "library/boundary.h"

#include <cmath>
#include <stdexcept>
#include <utility>

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
            const leaflet::LeafletShape shape =
                leaflet::measureLeafletShape(image, found.blackAndWhite, found.outline);
            stage = "cropping";
            Leaflet measured;
            measured.outline = found.outline;
            measured.rectangle = found.box;
            measured.crop = leaflet::cropUpright(image, found.box);
            measured.area = shape.area * millimetres * millimetres;
            measured.perimeter = shape.perimeter * millimetres;
            measured.length = size.length * millimetres;
            measured.width = size.width * millimetres;
            measured.feretMax = shape.feretMax * millimetres;
            measured.feretMin = shape.feretMin * millimetres;
            measured.circularity = shape.circularity;
            measured.solidity = shape.solidity;
            measured.lStar = shape.colour.lightness;
            measured.aStar = shape.colour.a;
            measured.bStar = shape.colour.b;
            leaflets.push_back(std::move(measured));
        });
        return leaflets;
    } catch (...) {
        detail::rethrowAsLibraryError(stage, detail::Language::ENGLISH);
    }
}

}  // namespace plantscan
