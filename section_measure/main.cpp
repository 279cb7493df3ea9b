// section_measure [INPUT]: measures INPUT (default "section.jpg") into the current folder.
#include "plant_scan_tools/version.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "resources/resources.h"
#include "scan_input/image_header.h"
#include "scan_input/image_memory.h"
#include "scan_input/scan_memory.h"
#include "section_measure/file_output.h"
#include "section_measure/output_files.h"
#include "section_measure/pipeline.h"

#include <cstdlib>
#include <iostream>
#include <new>
#include <opencv2/core/utility.hpp>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace plantscan::section {

namespace {

const std::string NAME = "section_measure";

std::string helpText() {
    std::string statuses;
    for (const StatusMeaning& meaning : SECTION_MEASURE_STATUSES)
        statuses += "  " + std::to_string(meaning.status) + "  " + meaning.words + "\n";
    return "Usage : section_measure [IMAGE]\n"
           "        section_measure --version | --help\n\n"
           "Mesure la section de canne scannée à 1200 dpi dans IMAGE (section.jpg par défaut) :\n"
           "largeur, rayons de courbure des 5 angles et des 5 creux, profondeur des creux,\n"
           "cercles circonscrit et inscrit. Affiche les mesures au fur et à mesure et écrit\n"
           "dans le dossier courant neuf images (" +
           std::string(OVERVIEW_FILE) + " montre les angles et les creux trouvés) et\n" +
           REPORT_FILE +
           " (séparateur « ; », virgule décimale, UTF-8, fins de ligne CR LF), en\n"
           "remplaçant les fichiers de ces noms. Un scan nommé --version ou --help se mesure\n"
           "en écrivant ./--version ou ./--help.\n\n"
           "Statut de sortie :\n" +
           statuses +
           "\nPour tout un dossier de scans, avec un tableau et une page de résultats :\n"
           "section_batch.\n";
}

// What a person reads when no section can be measured: what went wrong and what to do.
std::string plainWords(NoSection why) {
    switch (why) {
        case NoSection::NOTHING_TO_SEPARATE:
            return "l'image est uniformément sombre ou uniformément claire : il n'y a pas de "
                   "coupe sombre sur fond clair à séparer ; vérifiez que c'est bien le scan d'une "
                   "coupe";
        case NoSection::NO_CONTOUR:
            return "aucun contour de section trouvé : l'image ne contient pas de coupe, ou son "
                   "fond n'est pas clair ; il faut une coupe sombre, entière, sur fond clair, à "
                   "plus de " +
                   std::to_string(BORDER_BAND) + " pixels des bords";
        case NoSection::OUTLINE_TOO_SHORT:
            return "la section trouvée est trop petite pour être mesurée ; vérifiez que c'est "
                   "bien une coupe scannée à 1200 dpi";
        case NoSection::NO_FIVE_CORNERS:
            return std::string(
                       "la forme trouvée n'a pas cinq angles bien distincts : ce n'est "
                       "pas une coupe à cinq angles, ou elle est mal séparée du fond "
                       "(voir ") +
                   GRABCUT_FILE + " et " + THRESHOLD_FILE + ")";
        case NoSection::ARC_TOO_SHORT: break;
    }
    return std::string(
               "un angle ou un creux est trop étroit pour y ajuster un cercle : la coupe "
               "est peut-être abîmée, ou mal séparée du fond (voir ") +
           OVERVIEW_FILE + ")";
}

// The scan's header states a credible resolution other than the one lengths are measured at:
// the values are wrong by its factor, which is said, without changing them.
void warnOfStatedResolution(const std::string& path) {
    const std::optional<input::StatedResolution> stated =
        input::readStatedResolution(platform::pathFromUtf8(path));
    if (!stated || !input::resolutionDiffers(*stated, input::Dpi{SCAN_DPI})) return;
    std::cerr << NAME << " : « " << path << " » à vérifier : "
              << input::resolutionWarning(*stated, input::Dpi{SCAN_DPI}, false) << std::endl;
}

int run(int argc, char** argv) {
    platform::showUtf8OnConsole();
    input::silenceImageLibraryLog();
    const std::vector<std::string> arguments = platform::commandLineArguments(argc, argv);
    // Alone, the two options; a scan of that name is ./--version.
    if (arguments.size() == 2 && (arguments[1] == "--version" || arguments[1] == "--help")) {
        std::cout << (arguments[1] == "--version" ? detail::versionLine(NAME) : helpText());
        return COMPLETE;
    }
    input::backImagesWithLargePages();
    cv::setNumThreads(-1);  // only then does OpenCV read OPENCV_FOR_THREADS_NUM, set by the batch
    // Alone, a scan takes the cores this process may use, not the machine's.
    if (!std::getenv("OPENCV_FOR_THREADS_NUM")) cv::setNumThreads(resources::availableCores());
    std::cout << "opencv version : " << CV_VERSION_MAJOR << "." << CV_VERSION_MINOR << std::endl;
    const std::string path = arguments.size() > 1 ? arguments[1] : "section.jpg";
    const char* stage = "lecture de l'image";
    bool writeFailed = false;
    ImageFiles images(cv::getNumThreads(), writeFailed, std::cerr);
    const RunOutputs outputs{std::cout, images.writer(),
                             [&stage](const char* next) { stage = next; }};
    try {
        if (input::refuseScanTooLarge(path, resources::SECTION_MEASURE_NEED,
                                      resources::Language::FRENCH, std::cerr))
            return FAILED;
        const cv::Mat image = input::readScan(path);
        if (image.empty()) {
            std::cerr << NAME << " : " << input::unreadableScanMessage(path) << std::endl;
            return BAD_INPUT;
        }
        const SectionMeasurements measurements = measureScan(image, outputs).measurements;
        stage = "rapport";
        images.finish();  // the report is written last
        writeReportFile(measurements, writeFailed, std::cerr);
    } catch (const SectionError& error) {
        // The program's own line stays on the console; standard error says it plainly.
        if (error.isConsoleLine) std::cout << error.what() << std::endl;
        std::cerr << NAME << " : pas de section mesurable dans « " << path
                  << " » : " << plainWords(error.reason);
        if (!error.isConsoleLine) std::cerr << " (" << error.what() << ")";
        std::cerr << std::endl;
        return NOT_MEASURABLE;
    } catch (const cv::Exception& error) {
        std::cerr << NAME << " : erreur d'OpenCV à l'étape « " << stage << " » sur « " << path
                  << " » : la mesure s'est arrêtée ; si l'erreur revient, signalez-la avec ce "
                     "message (détail : "
                  << error.what() << ")" << std::endl;
        return FAILED;
    } catch (const std::bad_alloc&) {
        std::cerr << NAME << " : mémoire insuffisante à l'étape « " << stage << " » sur « " << path
                  << " » : fermez d'autres programmes, ou lancez moins de mesures à la fois"
                  << std::endl;
        return FAILED;
    } catch (const std::system_error& error) {
        // Short of memory, OpenCV's thread pool throws std::system_error, not bad_alloc.
        std::cerr << NAME << " : erreur à l'étape « " << stage << " » sur « " << path
                  << " » : " << platform::frenchErrorWords(error.code()) << std::endl;
        return FAILED;
    } catch (const std::exception& error) {
        std::cerr << NAME << " : erreur à l'étape « " << stage << " » sur « " << path
                  << " » : " << error.what() << std::endl;
        return FAILED;
    }
    warnOfStatedResolution(path);
    return writeFailed ? WRITE_FAILED : COMPLETE;
}

}  // namespace

}  // namespace plantscan::section

int main(int argc, char** argv) { return plantscan::section::run(argc, argv); }
