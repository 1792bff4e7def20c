// Placeholder translation unit until the machine's services land.
namespace hs::platform::sim {}
