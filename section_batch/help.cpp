#include "batch/command_line.h"
#include "batch/desktop_start.h"
#include "batch/help_text.h"
#include "batch/processes.h"
#include "batch/run_record.h"
#include "page/french_text.h"
#include "page/results_page.h"
#include "page/statistics.h"
#include "page/thumbnail.h"
#include "resources/memory_need.h"
#include "scan_input/image_header.h"
#include "section_batch/section_kind.h"
#include "section_measure/report_layout.h"
#include "stored/table.h"

namespace plantscan::section_batch {

std::string helpText() {
    const stored::FolderLayout layout = sectionMeasureLayout();
    const std::string cells = std::to_string(section::REPORT_CELLS);
    const std::string lobes = std::to_string(section::LOBE_COUNT);
    const std::string report = "« " + layout.report + " »";
    const std::string statuses = batch::statusesInWords(layout);
    return std::string(R"(Usage : section_batch [options] SCANS [SORTIE]
        section_batch --merge SORTIE

Mesure chaque scan du dossier SCANS (.jpg, .jpeg, .png, .tif, .tiff, .bmp, en majuscules
ou en minuscules ; les sous-dossiers ne sont pas parcourus), dans l'ordre naturel des noms
(les nombres comparés par leur valeur : coupe_2 avant coupe_10), en lançant
section_measure une fois par scan. SORTIE vaut « resultats » (dans le dossier courant) par
défaut. section_measure est cherché à côté de section_batch, sinon dans le PATH.

Pour chaque scan NOM, section_measure s'exécute dans le dossier SORTIE/NOM/ avec le chemin
absolu du scan : ses images et )") +
           report + " y sont exactement ceux d'une mesure seule.\nS'y ajoutent " +
           stored::CONSOLE_FILE + " (ce qu'il affiche), " + stored::ERRORS_FILE +
           " (ses messages d'erreur), " + stored::STATUS_FILE +
           "\n(son statut de sortie, la taille et la date du scan), écrit à la fin de la "
           "mesure, puis\n" +
           stored::THUMBNAIL_FILE + ", " + layout.overview + " réduite à " +
           std::to_string(page::THUMBNAIL_WIDTH) +
           " pixels de large au plus, pour la page du rapport.\nAvant qu'un scan soit "
           "mesuré à nouveau, ces fichiers sont effacés : rien d'une mesure\nprécédente ne "
           "reste.\n\nEnfin SORTIE/" +
           TABLE_FILE +
           " réunit une ligne par scan, dans l'ordre des scans : le nom\ndu fichier, le "
           "statut de section_measure, puis les " +
           cells + " valeurs de son " + report + " (rayons\ndes " + lobes + " angles, rayons des " +
           lobes +
           " creux, profondeurs, distances au cercle circonscrit, ratios,\nlargeur, diamètres "
           "des cercles circonscrit et inscrit), recopiées telles quelles. Même format\nque " +
           report +
           " : UTF-8, séparateur « ; », virgule décimale, fins de ligne CR LF. Un\nscan en "
           "échec garde sa ligne, avec son statut et des cases vides (un statut 0 sans\n" +
           report +
           " complet compte aussi comme un échec). Le tableau est écrit dans\nun fichier "
           "temporaire puis renommé : une série interrompue ne laisse jamais un "
           "demi-tableau.\n\nPuis SORTIE/" +
           page::RESULTS_PAGE_FILE +
           ", une page à ouvrir dans un navigateur, sans réseau ni script : le\nnombre "
           "de scans par statut, les échecs en tête (statut en clair et début d'" +
           stored::ERRORS_FILE +
           "), puis\nune carte par scan dans l'ordre du tableau (vignette menant à " +
           layout.overview +
           ", liens vers les autres\nimages, largeur, diamètres, rayons des angles et des "
           "creux, profondeurs) et, pour chacune de\nces valeurs, sa répartition sur la série. "
           "Une valeur est marquée quand elle s'écarte de la\nmédiane de plus de " +
           batch::markRuleNumbers() +
           "\nl'écart absolu moyen quand le premier est nul), calculés sur les scans au "
           "statut 0 ;\nrien n'est marqué avec moins de " +
           std::to_string(page::FEWEST_FOR_MARKS) +
           " scans mesurés. Les liens sont relatifs : le dossier\nSORTIE peut être copié ou "
           "envoyé tel quel.\n\n" +
           batch::wrapped(
               "Résolution : section_measure compte " +
                   page::frenchNumber(layout.scanDpi.value, 6) +
                   " dpi. Un scan dont l'en-tête (JPEG : JFIF ou EXIF, qui l'emporte ; "
                   "PNG : pHYs ; TIFF) déclare une résolution entre " +
                   batch::credibleResolutions() + " qui s'en écarte de plus de " +
                   batch::resolutionTolerancePercent() +
                   " % est signalé, ses longueurs étant alors fausses : une ligne du bilan "
                   "dit ce qui en découle, le bilan et l'en-tête de la page le comptent à part "
                   "(« à vérifier »), sa carte est marquée et le compte rendu du lancement les "
                   "compte ; il garde son statut 0. La dernière colonne de " +
                   TABLE_FILE + ", « " + stored::STATED_DPI_COLUMN +
                   " », donne la résolution que déclare chaque scan (vide s'il n'en déclare "
                   "pas). Les 72 ou 96 dpi que bien des scanners "
                   "écrivent quelle que soit la numérisation ne sont pas signalés. La "
                   "résolution déclarée est gardée dans " +
                   stored::RESOLUTION_FILE + ".",
               92) +
           "\n\nChaque lancement (série, morceau ou --merge) écrit à la fin son "
           "compte rendu dans\nSORTIE/" +
           batch::RUN_RECORD_FOLDER +
           R"(/, un fichier à lui nommé par l'heure de début, la machine et le numéro de
processus : version de section_batch et d'OpenCV, heures de début et de fin (UTC), machine,
ligne de commande, options (-j, --shard, --force), nombre de scans du dossier, puis ceux
que ce lancement a mesurés, sautés (déjà faits) et vus en échec, et ceux de sa liste
qui déclarent une autre résolution. Un lancement interrompu n'en laisse pas.

Reprise : relancée avec le même SORTIE, la commande saute les scans dont le dossier contient
déjà un résultat complet, c'est-à-dire un statut 0 enregistré pour le même scan (même
taille, même date de modification) et )" +
           report + R"( présent. Les scans en échec,
modifiés depuis ou interrompus sont mesurés à nouveau.

Options :
  -j N         mesurer N scans à la fois (par défaut autant que de cœurs). Ce nombre est
               abaissé, avec un message, quand la mémoire disponible (ou la limite mémoire
               d'une tâche de grappe) ne suffit pas : une mesure demande environ )" +
           std::to_string(resources::SECTION_MEASURE_NEED.bytesPerPixel) +
           " octets\n               par pixel du plus grand scan, plus " +
           std::to_string(resources::SECTION_MEASURE_NEED.fixedBytes / (1024 * 1024)) + R"( Mo.
  --force      tout mesurer à nouveau, même les résultats complets.
  --shard K/N  ne mesurer que les scans dont la position dans la liste (à partir de 0)
               vaut K modulo N, pour répartir une série sur plusieurs machines qui partagent
               SCANS et SORTIE. Le tableau n'est alors pas écrit : lancez --merge une fois
               tous les morceaux terminés.
  --merge      reconstruire SORTIE/)" +
           TABLE_FILE + " et SORTIE/" + page::RESULTS_PAGE_FILE +
           R"( à partir des
               seuls sous-dossiers de SORTIE nommés comme des scans, dans l'ordre naturel,
               sans rien mesurer (les vignettes manquantes sont faites). Un sous-dossier sans
               )" +
           stored::STATUS_FILE +
           R"( (mesure interrompue ou en cours) donne une ligne au statut vide.
  -h, --help   afficher cette aide.
  --version    afficher la version de section_batch et celle d'OpenCV.

Progression : sur un terminal, une ligne tenue à jour sur la sortie d'erreur (scans faits
sur le total, scan en cours, temps écoulé, temps restant estimé) ; sinon une ligne par scan
terminé. Le bilan final est affiché sur la sortie standard.

)" +
           batch::wrapped("Statut d'un scan (colonne Statut) : " + statuses +
                              " ; 128 + N arrêté par le signal" + batch::GLUE + "N.",
                          92) +
           R"(

Statut de sortie de section_batch :
  0  tous les scans ont été mesurés
  1  au moins un scan en échec (le bilan dit combien et lesquels), section_measure
     introuvable, ou un dossier, le tableau, la page ou le compte rendu n'a pas pu être
     écrit
  2  ligne de commande incorrecte (option inconnue, SCANS n'est pas un dossier...)
)" + batch::desktopHelp("section_batch", "resultats");
}

}  // namespace plantscan::section_batch
