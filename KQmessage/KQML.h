// TKQstructure: a KQML-style message, an atom word or a list of a head word
// and tagged values. (Interface being built; see the KQML work.)
#ifndef KOHPORT_KQMESSAGE_KQML_H
#define KOHPORT_KQMESSAGE_KQML_H

#include <memory>
#include <string>
#include <vector>

namespace kohport {

class TKQstructure {
 public:
  TKQstructure();
  explicit TKQstructure(const char* text);
  TKQstructure(const TKQstructure& other);
  TKQstructure& operator=(const TKQstructure& other);
  ~TKQstructure();

 private:
  std::string head;
};

}  // namespace kohport

#endif
