#include "section_batch/command_line.h"

#include "plant_scan_tools/version.h"

#include <opencv2/core/utility.hpp>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// The whole text must be a number in [minimum, maximum].
std::optional<long> parseNumber(const std::string& text, long minimum, long maximum) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < minimum || value > maximum) return std::nullopt;
    return value;
}

std::optional<std::string> applyJobs(BatchOptions& options, const std::string& value) {
    const std::optional<long> jobs = parseNumber(value, 1, 4096);
    if (!jobs)
        return "-j attend un nombre de mesures simultanées entre 1 et 4096, pas « " + value + " »";
    options.jobs = static_cast<int>(*jobs);
    return std::nullopt;
}

std::optional<std::string> applyShard(BatchOptions& options, const std::string& value) {
    const std::size_t slash = value.find('/');
    const std::string error = "--shard attend K/N (N au moins 1), pas « " + value + " »";
    if (slash == std::string::npos) return error;
    const std::optional<long> shard = parseNumber(value.substr(0, slash), 0, LONG_MAX);
    const std::optional<long> count = parseNumber(value.substr(slash + 1), 1, LONG_MAX);
    if (!shard || !count) return error;
    options.shard = shard;
    options.shardCount = *count;
    return std::nullopt;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    BatchOptions options;
    std::vector<std::string> positional;
    const auto fail = [](const std::string& error) {
        return ParsedCommandLine{std::nullopt, error};
    };

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const bool hasNext = i + 1 < arguments.size();
        std::optional<std::string> error;
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            return ParsedCommandLine{options, ""};
        } else if (argument == "--version") {
            options.version = true;
            return ParsedCommandLine{options, ""};
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--merge") {
            options.merge = true;
        } else if (argument == "-j" || argument == "--shard") {
            if (!hasNext) return fail(argument + " attend une valeur");
            error = argument == "-j" ? applyJobs(options, arguments[++i])
                                     : applyShard(options, arguments[++i]);
        } else if (argument.rfind("-j", 0) == 0) {
            error = applyJobs(options, argument.substr(2));
        } else if (argument.size() > 1 && argument[0] == '-') {
            return fail("option inconnue « " + argument + " »");
        } else {
            positional.push_back(argument);
        }
        if (error) return fail(*error);
    }

    if (options.merge) {
        if (options.force || options.jobs || options.shard) {
            return fail("--merge ne se combine pas avec -j, --force ou --shard");
        }
        if (positional.size() != 1) return fail("--merge attend un seul dossier, SORTIE");
        options.outFolder = positional[0];
        return ParsedCommandLine{options, ""};
    }
    if (positional.empty()) return fail("il manque le dossier des scans");
    if (positional.size() > 2) return fail("trop d'arguments : « " + positional[2] + " »");
    options.scansFolder = positional[0];
    if (positional.size() == 2) options.outFolder = positional[1];
    return ParsedCommandLine{options, ""};
}

std::string helpText() {
    return R"(Usage : section_batch [options] SCANS [SORTIE]
        section_batch --merge SORTIE

Mesure chaque image du dossier SCANS (.jpg, .jpeg, .png, .tif, .tiff, .bmp, en majuscules
ou en minuscules ; les sous-dossiers ne sont pas parcourus), dans l'ordre naturel des noms
(les nombres comparés par leur valeur : coupe_2 avant coupe_10), en lançant
section_measure une fois par image. SORTIE vaut « resultats » (dans le dossier courant) par
défaut. section_measure est cherché à côté de section_batch, sinon dans le PATH.

Pour chaque image NOM, section_measure s'exécute dans le dossier SORTIE/NOM/ avec le chemin
absolu de l'image : ses images et « mesures.csv » y sont exactement ceux d'une mesure seule.
S'y ajoutent console.txt (ce qu'il affiche), erreurs.txt (ses messages d'erreur), statut.txt
(son statut de sortie, la taille et la date de l'image), écrit à la fin de la mesure, puis
vignette.jpg, res.jpg réduite à 320 pixels de large au plus, pour la page du rapport.

Enfin SORTIE/toutes_mesures.csv réunit une ligne par image, dans l'ordre des images : le nom
du fichier, le statut de section_measure, puis les 28 valeurs de son « mesures.csv » (rayons
des 5 angles, rayons des 5 creux, profondeurs, distances au cercle circonscrit, ratios,
largeur, diamètres des cercles circonscrit et inscrit), recopiées telles quelles. Même format
que « mesures.csv » : UTF-8, séparateur « ; », virgule décimale, fins de ligne CR LF. Une
image en échec garde sa ligne, avec son statut et des cases vides (un statut 0 sans
« mesures.csv » complet compte aussi comme un échec). Le tableau est écrit dans
un fichier temporaire puis renommé : une série interrompue ne laisse jamais un demi-tableau.

Puis SORTIE/rapport.html, une page à ouvrir dans un navigateur, sans réseau ni script : le
nombre d'images par statut, les échecs en tête (statut en clair et début d'erreurs.txt), puis
une carte par image dans l'ordre du tableau (vignette menant à res.jpg, liens vers les autres
images, largeur, diamètres, rayons des angles et des creux, profondeurs) et, pour chacune de
ces valeurs, sa répartition sur la série. Une valeur est marquée quand elle s'écarte de la
médiane de plus de 3,5 écarts robustes (1,4826 fois l'écart absolu médian, ou 1,2533 fois
l'écart absolu moyen quand le premier est nul), calculés sur les images au statut 0 ; rien
n'est marqué avec moins de 5 images mesurées. Les liens sont relatifs : le dossier SORTIE
peut être copié ou envoyé tel quel.

Chaque lancement (série, morceau ou --merge) écrit à la fin son compte rendu dans
SORTIE/lancements/, un fichier à lui nommé par l'heure de début, la machine et le numéro de
processus : version de section_batch et d'OpenCV, heures de début et de fin (UTC), machine,
ligne de commande, options (-j, --shard, --force), nombre d'images du dossier, puis celles
que ce lancement a mesurées, sautées (déjà faites) et vues en échec. Un lancement
interrompu n'en laisse pas.

Reprise : relancée avec le même SORTIE, la commande saute les images dont le dossier contient
déjà un résultat complet, c'est-à-dire un statut 0 enregistré pour la même image (même
taille, même date de modification) et « mesures.csv » présent. Les images en échec,
modifiées depuis ou interrompues sont mesurées à nouveau.

Options :
  -j N         mesurer N images à la fois (par défaut autant que de cœurs). Ce nombre est
               abaissé, avec un message, quand la mémoire disponible (ou la limite mémoire
               d'une tâche de grappe) ne suffit pas : une mesure demande environ 100 octets
               par pixel de la plus grande image, plus 68 Mo.
  --force      tout mesurer à nouveau, même les résultats complets.
  --shard K/N  ne mesurer que les images dont la position dans la liste (à partir de 0)
               vaut K modulo N, pour répartir une série sur plusieurs machines qui partagent
               SCANS et SORTIE. Le tableau n'est alors pas écrit : lancez --merge une fois
               tous les morceaux terminés.
  --merge      reconstruire SORTIE/toutes_mesures.csv et SORTIE/rapport.html à partir des
               seuls sous-dossiers de SORTIE nommés comme des images, dans l'ordre naturel,
               sans rien mesurer (les vignettes manquantes sont faites). Un sous-dossier sans
               statut.txt (mesure interrompue ou en cours) donne une ligne au statut vide.
  -h, --help   afficher cette aide.
  --version    afficher la version de section_batch et celle d'OpenCV.

Progression : sur un terminal, une ligne tenue à jour sur la sortie d'erreur (images faites
sur le total, image en cours, temps écoulé, temps restant estimé) ; sinon une ligne par image
terminée. Le bilan final est affiché sur la sortie standard.

Statut d'une image (colonne Statut) : 0 mesure complète ; 1 pas de section mesurable ;
2 image absente ou illisible ; 3 un fichier n'a pas pu être écrit ; 4 erreur d'OpenCV ou
mémoire épuisée ; 127 section_measure n'a pas pu être lancé ; 128 + N arrêté par le signal N.

Statut de sortie de section_batch :
  0  toutes les images ont été mesurées
  1  au moins une image en échec (le bilan dit combien et lesquelles), section_measure
     introuvable, ou un dossier, le tableau, la page ou le compte rendu n'a pas pu être
     écrit
  2  ligne de commande incorrecte (option inconnue, SCANS n'est pas un dossier...)
)";
}

std::string versionText() {
    return std::string("section_batch " PLANT_SCAN_TOOLS_VERSION " (OpenCV ") +
           cv::getVersionString() + ")\n";
}
