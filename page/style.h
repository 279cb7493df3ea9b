// The results page's style sheet, the one rule set every kind of batch's page takes.
#pragma once

namespace plantscan::page {

inline constexpr char PAGE_STYLE[] = R"(
body { font-family: system-ui, sans-serif; margin: 1em; color: #222; background: #fafafa; }
h1 { font-size: 1.5em; margin: 0 0 .4em; }
h2 { font-size: 1.2em; margin: 1.4em 0 .5em; border-bottom: 1px solid #ccc; }
h3 { font-size: 1em; margin: 0 0 .3em; overflow-wrap: anywhere; }
header p, header ul { margin: .25em 0; }
a { color: #1f5fa8; }
.echec { border-left: 5px solid #c62828; background: #fff3f3; padding: .5em .8em;
         margin: .5em 0; }
.echec pre { margin: .3em 0; white-space: pre-wrap; font-size: .85em; color: #600; }
.scans { display: flex; flex-wrap: wrap; gap: 12px; }
.scans .scan { display: flex; gap: 10px; background: #fff; border: 1px solid #ddd;
               border-radius: 4px; padding: 8px; width: 600px; box-sizing: border-box; }
.scans .scan.rate { border-color: #c62828; background: #fff3f3; }
.vignette { flex: none; }
.vignette img { width: 230px; height: auto; display: block; background: #eee; }
.sans-image { width: 230px; height: 120px; display: flex; align-items: center;
              justify-content: center; background: #eee; color: #777; flex: none; }
.details { min-width: 0; font-size: .9em; }
.statut { margin: 0 0 .4em; }
.statut.rate { color: #c62828; font-weight: bold; }
table.valeurs { border-collapse: collapse; margin-bottom: .4em; }
table.valeurs th, table.valeurs td { padding: 1px 3px; text-align: right; font-weight: normal; }
table.valeurs th { color: #555; text-align: left; white-space: nowrap; }
table.valeurs tr:first-child th { text-align: right; }
.principales { margin: 0 0 .3em; }
.principales .paire { white-space: nowrap; }
.principales .paire span { font-weight: bold; font-variant-numeric: tabular-nums; }
table.valeurs td { font-variant-numeric: tabular-nums; }
table.valeurs td.marque, .principales .marque, .marque { background: #ffd0d0; color: #a00000; font-weight: bold; cursor: help; }
.liens { font-size: .85em; color: #555; }
.resolution { margin: 0 0 .4em; background: #ffd0d0; color: #a00000; font-weight: bold; }
table.repartition td { padding: 0 8px 0 0; vertical-align: middle; font-size: .9em; }
table.repartition td.nombre { text-align: right; font-variant-numeric: tabular-nums; }
svg.bande { display: block; }
.petales.aucun { background: #fff3cd; padding: 0 3px; }
.planche { display: flex; flex-wrap: wrap; gap: 6px; align-items: flex-end; margin: 0 0 .4em; }
.planche figure { margin: 0; padding: 2px; text-align: center; font-size: .8em; }
.planche img { display: block; max-width: 80px; max-height: 80px; margin: 0 auto;
               background: #eee; }
.planche figure.marque { outline: 3px solid #c62828; cursor: help; }
)";

}  // namespace plantscan::page
