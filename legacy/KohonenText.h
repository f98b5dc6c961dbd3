// The legacy Kohonen map text, apart from files and networks: the parser
// that turns a whole file image into a TOndKohonenImage, and the writer that
// turns a map's header and weight rows into text. The writer is the parser's
// inverse: what it writes parses back to the same header and to every weight
// at 6 significant digits (the title gains the two blanks that follow "TITLE:").
#ifndef KOHPORT_LEGACY_KOHONENTEXT_H
#define KOHPORT_LEGACY_KOHONENTEXT_H

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kohport::legacy {

// What the header of a map file says. `title` and `description` are null
// when the file has no such tag; the texts are kept whole.
struct TOndKohonenHeader {
  int numInputs = 0;  // n, the weights per map unit
  int mapSize = 0;    // m, the side of the square grid of m x m units
  std::optional<std::string> title;
  std::optional<std::string> description;
};

// Grid position of one table row.
struct TGridPlace {
  int x = 0;
  int y = 0;
};

// A parsed map file: the header and the table rows in file order. Row r sits
// at places[r] and its weights are weights[r * numInputs + i] for input i.
// There are exactly mapSize * mapSize rows; a unit may appear in several rows
// (the last one counts) or in none.
struct TOndKohonenImage : TOndKohonenHeader {
  std::vector<TGridPlace> places;
  std::vector<double> weights;
};

// Parses a whole map file. Refuses malformed text with TException (category
// "File Error", location "TOndKohonenFiler::LoadKohonen") whose message says
// what is wrong and on which line, e.g. "line 12: number expected for weight 3
// in map row 7". Refused: end of text before "MAPSIZE:", before the table
// heading or inside it; no "INPUTS:" before "MAPSIZE:"; a negative count; an
// input count larger than the text's length (no row could hold it); a map
// whose m x m units or n x m x m weights exceed the signed 32-bit range; a
// header word longer than 255 characters; a missing or unreadable number; a
// number too large for a double; an X or Y outside 0 to m - 1; fewer than
// m x m rows. Memory grows with the rows actually read, never with the sizes
// the header declares.
TOndKohonenImage ParseKohonenText(std::string_view text);

// Receives the writer's text in pieces, in order.
using TTextSink = std::function<void(std::string_view)>;
// Gives the numInputs weights of unit u = X * m + Y; the pointer is read
// before the next call.
using TUnitWeights = std::function<const double*(int unit)>;

// Writes the map file for `header` with the weights that `unit` hands out:
// the header lines, the table heading, one row per unit with X ascending and
// Y fastest, each weight as "%g" at precision 6 right-aligned in 14
// characters and the end mark "  .", and a last empty line. Title and
// description are written as given (nothing for null).
void WriteKohonenText(const TOndKohonenHeader& header, const TUnitWeights& unit,
                      const TTextSink& sink);

}  // namespace kohport::legacy

#endif
