// The worked example of "mesures.csv", byte for byte: what the writer must give and the
// batch must read.
#pragma once

namespace test_support {

inline const char* const EXAMPLE_REPORT =
    "Mesure;Angle/creux 1;Angle/creux 2;Angle/creux 3;Angle/creux 4;Angle/creux 5\r\n"
    "Rayon de courbure de l'angle (mm);0,87;1,06;0,95;1,21;0,78;\r\n"
    "Rayon de courbure du creux (mm);2,14;1,82;3,05;2,5;1,97;\r\n"
    "Profondeur du creux (mm);0,42;0,51;0,33;0,47;0,6;\r\n"
    "Distance du creux avec le cercle circonscrit (mm);0,91;1,04;0,85;0,97;1,12;\r\n"
    "Ratio de la  distance du creux  avec le cercle circonscrit avec le rayon du cercle (%);"
    "17,41;19,84;16,19;18,62;21,46;\r\n"
    "Largeur primocanne  (mm) : ;9,87\r\n"
    "Diam\xC3\xA8tre cercle circonscrit  (mm) : ;10,46\r\n"
    "Diam\xC3\xA8tre cercle inscrit  (mm) : ;7,62\r\n";

}  // namespace test_support
