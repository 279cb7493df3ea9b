#include "batch/command_line.h"
#include "batch/desktop_start.h"
#include "batch/help_text.h"
#include "batch/processes.h"
#include "batch/run_record.h"
#include "leaflet_batch/leaflet_kind.h"
#include "leaflet_batch/leaflet_report.h"
#include "leaflet_batch/one_scan.h"
#include "leaflet_crop/output_files.h"
#include "page/french_text.h"
#include "page/results_page.h"
#include "page/statistics.h"
#include "page/thumbnail.h"
#include "plantscan/leaflets.h"
#include "resources/memory_need.h"
#include "scan_input/image_header.h"

#include <algorithm>

namespace plantscan::leaflet_batch {

namespace {

constexpr std::size_t WIDTH = 92;
constexpr std::size_t OPTION_COLUMN = 15;

// A French ";" or ":" stays on the line of the word before it.
std::string keptTogether(std::string text) {
    for (const char* mark : {" ; ", " : "}) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
            text[at] = batch::GLUE;
    }
    return text;
}

std::string lines(const std::string& text, std::size_t width) {
    return batch::wrapped(keptTogether(text), width);
}

std::string paragraph(const std::string& text) { return lines(text, WIDTH) + "\n\n"; }

// "  -j N         text", the text wrapped and its later lines indented under its first, from
// `column` on.
std::string option(const std::string& flags, const std::string& text,
                   std::size_t column = OPTION_COLUMN) {
    const std::string indent(column, ' ');
    std::string wrappedText = lines(text, WIDTH - column);
    for (std::size_t at = wrappedText.find('\n'); at != std::string::npos;
         at = wrappedText.find('\n', at + 1))
        wrappedText.insert(at + 1, indent);
    const std::size_t characters =
        2 + static_cast<std::size_t>(std::count_if(flags.begin(), flags.end(),
                                                   [](char c) { return (c & 0xC0) != 0x80; }));
    return "  " + flags + std::string(characters < column ? column - characters : 1, ' ') +
           wrappedText + "\n";
}

std::string quoted(const std::string& name) {
    return "«" + std::string(1, batch::GLUE) + name + batch::GLUE + "»";
}

}  // namespace

std::string leafletHelpText() {
    const stored::FolderLayout layout = leafletLayout();
    const std::string dpi = page::frenchNumber(plantscan::DEFAULT_DPI, 6);
    const std::string statuses = batch::statusesInWords(layout);
    return std::string(
               "Usage : leaflet_batch [options] SCANS [SORTIE]\n"
               "        leaflet_batch --merge SORTIE\n"
               "        leaflet_batch ") +
           SINGLE_SCAN_OPTION + " IMAGE [--dpi N]\n\n" +
           paragraph(
               "Découpe chaque pétale de chaque scan du dossier SCANS (.jpg, .jpeg, .png, "
               ".tif, .tiff, .bmp, en majuscules ou en minuscules ; les sous-dossiers ne "
               "sont pas parcourus), comme leaflet_crop, et mesure chaque pétale, en "
               "traitant les scans dans l'ordre naturel des noms (les nombres comparés "
               "par leur valeur : planche_2 avant planche_10), plusieurs à la fois. SORTIE "
               "vaut " +
               quoted("resultats_petales") + " (dans le dossier courant) par défaut.") +
           paragraph(
               "Avant de lister SCANS, la commande update.bat est lancée une fois, dans le "
               "dossier courant, par l'interpréteur de commandes, et attendue, comme le "
               "fait leaflet_crop ; son résultat ne change rien. Quand l'interpréteur ne la "
               "trouverait pas (sous Windows ni dans le dossier courant ni dans le PATH, "
               "sous Linux pas dans le PATH), rien n'est lancé ni affiché. Elle n'est lancée ni "
               "par "
               "--merge, ni par --shard : renommer des scans pendant que d'autres "
               "morceaux listent le dossier fausserait leur partage.") +
           paragraph("Pour chaque scan NOM, leaflet_batch " + std::string(SINGLE_SCAN_OPTION) +
                     " s'exécute dans le dossier SORTIE/NOM/ et y écrit exactement ce "
                     "qu'écrirait " +
                     quoted("leaflet_crop NOM") + " lancé dans ce dossier : gray.bmp, bw.jpg, " +
                     leaflet::CROPS_FOLDER +
                     "/NOM_0.jpg, NOM_1.jpg... (une découpe par pétale) et "
                     "drawing.jpg ; puis " +
                     LEAFLET_REPORT + " (les mesures de chaque pétale), " + DPI_FILE +
                     " (la résolution utilisée et la version des valeurs) et " + PLACES_FILE +
                     " (où se trouve chaque pétale dans le scan). S'y ajoutent " +
                     stored::CONSOLE_FILE + ", " + stored::ERRORS_FILE + ", " +
                     stored::STATUS_FILE +
                     " (son statut de sortie, la taille et "
                     "la date du scan), " +
                     stored::THUMBNAIL_FILE + " (" + layout.overview + " réduite à " +
                     std::to_string(page::THUMBNAIL_WIDTH) +
                     " pixels de large au plus, le numéro de chaque pétale écrit à sa place) et " +
                     stored::PIECE_THUMBNAILS + "/N.jpg (chaque découpe réduite à " +
                     std::to_string(page::PIECE_THUMBNAIL_SIDE) +
                     " pixels au plus), pour la page du rapport. Avant qu'un scan soit "
                     "traité à nouveau, ces fichiers sont effacés : un scan qui donne moins "
                     "de pétales ne laisse aucune découpe d'avant.") +
           lines("Mesures de chaque pétale, numéroté comme sa découpe, en mm et mm² à " + dpi +
                     " dpi ou à la résolution donnée par --dpi :",
                 WIDTH) +
           "\n" +
           option("aire",
                  "l'intérieur de la ligne qui suit le bord du pétale entre les pixels, à "
                  "mi-chemin entre sa lumière et celle du fond ; ses trous sombres n'en sont "
                  "pas.") +
           option("longueur",
                  "le grand côté du rectangle d'aire minimale qui entoure le contour "
                  "(avant les 15 pixels de marge de la découpe) ; largeur : son "
                  "petit côté.") +
           option("périmètre", "la longueur de cette ligne (sans ses trous).") +
           option("Feret max",
                  "la plus grande distance entre deux points de la ligne ; Feret min : le "
                  "plus petit écart entre deux droites parallèles qui l'enserrent.") +
           option("circularité", "4 pi aire / périmètre² : 1 pour un disque.") +
           option("solidité", "l'aire / l'aire de l'enveloppe convexe de la ligne.") +
           option("L*, a*, b*",
                  "la couleur moyenne du pétale, à 3 pixels au moins de ses bords, en CIE "
                  "L*a*b* (1976 ; L* de 0 à 100), les valeurs du scan prises comme du "
                  "sRGB sous D65 : la couleur du scanner, non étalonnée.") +
           "\n" +
           paragraph("Sur des formes dessinées de taille connue, à " + dpi +
                     " dpi aux bords comme les donne un scanner (disques, ellipses, rectangles, "
                     "sous plusieurs angles), le périmètre et l'aire sont justes à 0,4 % près, "
                     "Feret max et min aussi, la longueur et la largeur à 2 pixels près.") +
           paragraph("Enfin SORTIE/" + std::string(LEAFLET_TABLE_FILE) +
                     " réunit une ligne par pétale, dans l'ordre des scans : le nom du "
                     "scan, son statut, le numéro du pétale, le chemin de sa découpe depuis "
                     "SORTIE, son aire, sa longueur, sa largeur, son périmètre, la résolution, "
                     "puis Feret max et min, circularité, solidité, L*, a* et b* ; un scan en "
                     "échec ou sans pétale a une ligne, avec son statut et des "
                     "cases vides. Même format que " +
                     quoted("mesures.csv") + " : UTF-8, séparateur " + quoted(";") +
                     ", virgule décimale, fins de ligne CR LF. Le tableau est écrit dans un "
                     "fichier temporaire puis renommé.") +
           paragraph("Puis SORTIE/" + std::string(page::RESULTS_PAGE_FILE) +
                     ", une page à ouvrir dans un navigateur, sans réseau ni script : le nombre "
                     "de scans par statut, les échecs en tête (statut en clair et début d'" +
                     stored::ERRORS_FILE +
                     "), la répartition de l'aire, de la longueur et de la largeur sur tous les "
                     "pétales, puis une carte par scan (vignette de " +
                     layout.overview +
                     " numérotée, nombre de pétales, planche des découpes avec l'aire, la "
                     "longueur et la largeur de chacune, menant à sa découpe). "
                     "Un pétale est marqué quand une de ces valeurs s'écarte de la médiane de "
                     "plus de " +
                     batch::markRuleNumbers() +
                     " l'écart absolu moyen quand le premier est nul), calculés sur tous "
                     "les pétales ; rien n'est marqué avec moins de " +
                     std::to_string(page::FEWEST_FOR_MARKS) +
                     " pétales. Un « pétale » qui touche le bord de l'image ou en couvre plus "
                     "de la moitié (fond clair, ou ce n'est pas une planche de pétales) est "
                     "marqué sur sa carte, et le scan nommé dans le bilan ; son statut reste "
                     "0.") +
           paragraph("Résolution : un scan dont l'en-tête déclare une résolution entre " +
                     batch::credibleResolutions() + " qui s'écarte de plus de " +
                     batch::resolutionTolerancePercent() +
                     " % de celle de la mesure est signalé (une ligne du bilan qui dit ce qui "
                     "en découle, un compte à part, « à vérifier », dans le bilan et en tête de "
                     "la page, une marque sur sa carte, le compte rendu du lancement) : ses "
                     "longueurs et ses aires sont alors fausses ; relancez avec --dpi. Il "
                     "garde son statut 0. La résolution déclarée est gardée dans " +
                     stored::RESOLUTION_FILE + " et donnée en dernière colonne de " +
                     LEAFLET_TABLE_FILE + ".") +
           paragraph(
               "Chaque lancement (série, morceau ou --merge) écrit à la fin son compte "
               "rendu dans SORTIE/" +
               std::string(batch::RUN_RECORD_FOLDER) +
               "/, comme section_batch (voir section_batch --help). Un lancement "
               "interrompu n'en laisse pas.") +
           paragraph(
               "Reprise : relancée avec le même SORTIE, la commande saute les scans "
               "dont le dossier contient déjà un résultat complet : un statut 0 "
               "enregistré pour le même scan (même taille, même date de modification), " +
               std::string(LEAFLET_REPORT) + " présent et " + DPI_FILE +
               " égal à la résolution demandée et à la version des valeurs de ce programme. "
               "Les scans en échec, modifiés depuis, interrompus, mesurés à une autre "
               "résolution ou par une version aux valeurs différentes sont traités à nouveau "
               "(ces deux derniers cas sont annoncés, avec leur raison). --merge refuse des "
               "dossiers aux valeurs d'une autre version, et les nomme.") +
           "Options :\n" +
           option("-j N",
                  "traiter N scans à la fois (par défaut autant que de cœurs). Ce "
                  "nombre est abaissé, avec un message, quand la mémoire disponible (ou "
                  "la limite mémoire d'une tâche de grappe) ne suffit pas : un scan "
                  "demande environ " +
                      std::to_string(resources::LEAFLET_CROP_NEED.bytesPerPixel) +
                      " octets par pixel du plus grand scan, plus " +
                      std::to_string(resources::LEAFLET_CROP_NEED.fixedBytes / (1024 * 1024)) +
                      " Mo.") +
           option("--dpi N", "la résolution des scans, en points par pouce (" + dpi +
                                 " par défaut), d'où viennent les longueurs et les aires.") +
           option("--force", "tout traiter à nouveau, même les résultats complets.") +
           option("--shard K/N",
                  "ne traiter que les scans dont la position dans la liste (à partir de 0) "
                  "vaut K modulo N, pour répartir une série sur plusieurs machines qui "
                  "partagent SCANS et SORTIE ; update.bat n'est pas lancé. Le tableau n'est "
                  "alors pas écrit : lancez --merge une fois tous les morceaux terminés.") +
           option("--merge", "reconstruire SORTIE/" + std::string(LEAFLET_TABLE_FILE) +
                                 " et SORTIE/" + page::RESULTS_PAGE_FILE +
                                 " à partir des seuls sous-dossiers de SORTIE nommés comme des "
                                 "scans, dans l'ordre naturel, sans rien mesurer (les vignettes "
                                 "manquantes sont faites).") +
           option(SINGLE_SCAN_OPTION,
                  "IMAGE [--dpi N] : découper et mesurer la seule IMAGE dans le dossier "
                  "courant, ce que la série lance pour chaque scan (sans update.bat).") +
           option("-h, --help", "afficher cette aide.") +
           option("--version", "afficher la version de leaflet_batch et celle d'OpenCV.") + "\n" +
           paragraph(
               "Progression : sur un terminal, une ligne tenue à jour sur la sortie "
               "d'erreur ; sinon une ligne par scan terminé. Le bilan final, avec le "
               "nombre de pétales, les scans sans pétale et une ligne par scan qui ne "
               "ressemble pas à une planche de pétales, est affiché sur la sortie standard.") +
           paragraph("Statut d'un scan (colonne Statut) : " + statuses +
                     " ; 128 + N arrêté par le signal" + batch::GLUE +
                     "N. Un scan sans pétale a le "
                     "statut 0.") +
           "Statut de sortie de leaflet_batch :\n" +
           option("0", "tous les scans ont été traités (même sans pétale)", 5) +
           option("1",
                  "au moins un scan en échec (le bilan dit lesquels), ou un dossier, le "
                  "tableau, la page ou le compte rendu n'a pas pu être écrit",
                  5) +
           option("2",
                  "ligne de commande incorrecte (option inconnue, SCANS n'est pas un "
                  "dossier...)",
                  5) +
           batch::desktopHelp("leaflet_batch", "resultats_petales");
}

}  // namespace plantscan::leaflet_batch
