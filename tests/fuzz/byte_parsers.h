// The parsers of untrusted bytes, and the results page fed untrusted names and texts, each run
// on one input with the properties every answer must keep; a broken property aborts, as a crash
// would. Shared by the fuzz targets and the test
// that replays their corpora.
#pragma once

#include <cstddef>
#include <cstdint>

// The JPEG marker walker: every segment lies inside the bytes.
void fuzzJpegMarkers(const std::uint8_t* data, std::size_t size);
// The image-header reader: a size found is positive.
void fuzzImageHeader(const std::uint8_t* data, std::size_t size);
// The resolution stated in an image header: positive and finite when found.
void fuzzImageResolution(const std::uint8_t* data, std::size_t size);
// "statut.txt": what parses writes back to text that parses the same.
void fuzzStatusFile(const std::uint8_t* data, std::size_t size);
// "mesures.csv": what parses gives 28 cells, none empty and none that would break the table.
void fuzzMeasurementReport(const std::uint8_t* data, std::size_t size);
// "petales.csv": what parses gives four cells per leaflet, none empty and none that would
// break the table.
void fuzzLeafletReport(const std::uint8_t* data, std::size_t size);
// The results page: names, cells, error lines and run times never reach it as markup.
void fuzzResultsPage(const std::uint8_t* data, std::size_t size);
