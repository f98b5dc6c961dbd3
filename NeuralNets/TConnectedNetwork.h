// TConnectedNetwork: a basic network whose Connect joins layers with fully
// connected blocks (TConnectedConnections). Ownership as in TBasicNetwork.
#ifndef KOHPORT_NEURALNETS_TCONNECTEDNETWORK_H
#define KOHPORT_NEURALNETS_TCONNECTEDNETWORK_H

#include "NeuralNets/TBasicNetwork.h"

namespace kohport {

class TConnectedNetwork : public TBasicNetwork {
 public:
  // Sets nothing; for derived classes that call Init themselves.
  TConnectedNetwork();
  // Init(n_layers) only; the builder fills `layers`.
  explicit TConnectedNetwork(int n_layers);
  // Init(n_layers), then layer i gets sizes[i] neurons: a TSimpleInputLayer
  // at inLayer (layer 1), a TSimpleLayer elsewhere (functions ActError until
  // the builder sets them). Nothing is connected.
  TConnectedNetwork(int n_layers, const int* sizes);
  TConnectedNetwork(const TConnectedNetwork& x) = default;
  TConnectedNetwork& operator=(const TConnectedNetwork& x) = default;

  // Puts a TConnectedConnections between the layers unless they are connected.
  void Connect(int fromLayer, int toLayer) override;
  const char* GetNetworkType() const override;
};

}  // namespace kohport

#endif
