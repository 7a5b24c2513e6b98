#pragma once
// The favourites file: two-line station records appended one per save,
// in the local station format that readLocalStations reads back.
#include <cstdio>
#include <string>
#include <string_view>

namespace oruvel {

// "http://HOST/sbin/tunein-station.pls?id=": the saved tune-in address
// before the station id.
std::string tuneInPrefix();

// The record of one station: "<station name="NAME"" and
// "url="PREFIX ID&amp;filename=playlist.pls"/>", each line ending in a newline.
std::string favouriteRecord(std::string_view name, std::string_view id);

// Whether the record of this station reads back with this very id: the
// id holds nothing that a reader of the file cuts at ("&" or a double
// quote), and the local station reader, taking the record in its pieces,
// finds the id whole.
bool favouriteReadsBack(std::string_view name, std::string_view id);

// Appends the record to an open favourites file; true only when every
// byte reached the file. A record that could not be written whole (a full
// disk, a size limit) is taken out again, so the earlier records stay the
// file's whole contents.
bool appendFavourite(std::FILE* file, std::string_view name, std::string_view id);

}  // namespace oruvel
