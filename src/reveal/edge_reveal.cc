#include "reveal/edge_reveal.h"

// Placeholder bodies; the recogniser and the timed reveal replace them.
namespace velmoryn {
void EdgeReveal::start() {}
void EdgeReveal::stop() { cancel(); }
void EdgeReveal::cancel() {}
void EdgeReveal::handle(const ScrollEvent&) {}
void EdgeReveal::begin(const Screen&, DockEdge) {}
void EdgeReveal::tick() {}
void EdgeReveal::conceal() {}
}  // namespace velmoryn
