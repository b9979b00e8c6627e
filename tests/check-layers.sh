#!/bin/sh
# Layers point one way: support/ includes nothing of the component above it, bridge/
# nothing above bridge/. (The build's layer-check DLLs catch symbol references; this
# catches includes of headers that define no symbols.)
root=$(dirname "$0")/..
bad=$(grep -rnE '#include +"(\.\./)+(bridge|facade|addin|module)/' "$root/support";
      grep -rnE '#include +"(\.\./)+(facade|addin|module)/' "$root/bridge")
if [ -n "$bad" ]; then
    echo "FAIL: includes that run the wrong way:"
    echo "$bad"
    exit 1
fi
echo "layers point one way"
