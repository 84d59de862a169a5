#!/usr/bin/env bash
# Fails, naming the file and line, when a source under src/ includes a header from a layer above its
# own. The layers, their folders and what each links are read from src/CMakeLists.txt, so this holds
# the includes to the same order the build holds the links to: a layer may include its own folders
# and those of the layers it links, directly or through another layer. Within a layer the folders
# are listed lowest first too, and an include may not run up that list either.
set -euo pipefail
cd "$(dirname "$0")/.."

grep -rn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src |
  awk -v cmake=src/CMakeLists.txt '
    # The folder a path lies in: the longest known folder that is a prefix of it.
    function folder_of(path,    best, f) {
      best = ""
      for (f in layer_of)
        if (index(path, f "/") == 1 && length(f) > length(best)) best = f
      return best
    }
    BEGIN {
      text = ""
      while ((getline line < cmake) > 0) {
        sub(/#.*/, "", line)
        text = text " " line
      }
      close(cmake)
      # "velquist_model=Core,Actions": the layer of each folder and its place in the layer.
      rest = text
      while (match(rest, /"velquist_[a-z_]+=[A-Za-z\/,]+"/)) {
        entry = substr(rest, RSTART + 1, RLENGTH - 2)
        rest = substr(rest, RSTART + RLENGTH)
        eq = index(entry, "=")
        layer = substr(entry, 1, eq - 1)
        n = split(substr(entry, eq + 1), folders, ",")
        for (i = 1; i <= n; i++) {
          layer_of[folders[i]] = layer
          place[folders[i]] = i
        }
        layers[layer] = 1
      }
      # velquist_layer(velquist_ui LINKS velquist_services Qt6::Widgets): the layers it links.
      rest = text
      while (match(rest, /velquist_layer\([a-z_]+ LINKS [^)]*\)/)) {
        call = substr(rest, RSTART + 15, RLENGTH - 16)
        rest = substr(rest, RSTART + RLENGTH)
        n = split(call, words, /[ \t]+/)
        for (i = 3; i <= n; i++)
          if (words[i] ~ /^velquist_/) links[words[1]] = links[words[1]] " " words[i]
      }
      # The hook client links only the shared layer (see its target in src/CMakeLists.txt).
      layer_of["quorvel"] = "quorvel"
      place["quorvel"] = 1
      links["quorvel"] = "velquist_shared"
      layers["quorvel"] = 1
      if (length(links) < 2) {
        print "check-layers: no layers found in " cmake > "/dev/stderr"
        failed = 1
        exit 1
      }
      # What each layer may use: what it links, and what those link, until nothing is added.
      for (layer in links) {
        n = split(links[layer], words, " ")
        for (i = 1; i <= n; i++) may[layer, words[i]] = 1
      }
      do {
        grew = 0
        for (a in layers) for (c in layers) if ((a, c) in may)
          for (b in layers) if (((c, b) in may) && !((a, b) in may)) {
            may[a, b] = 1
            grew = 1
          }
      } while (grew)
      bad = 0
      files = 0
    }
    {
      # grep -n: path:line:text
      colon = index($0, ":")
      path = substr($0, 1, colon - 1)
      rest = substr($0, colon + 1)
      colon = index(rest, ":")
      lineno = substr(rest, 1, colon - 1)
      text = substr(rest, colon + 1)
      if (!match(text, /"[^"]+"/)) next
      target = substr(text, RSTART + 1, RLENGTH - 2)
      source = substr(path, 5)
      from = folder_of(source)
      to = folder_of(target)
      if (from == "" || to == "") next
      a = layer_of[from]
      b = layer_of[to]
      if (a == b) {
        if (place[to] <= place[from]) next
        why = to " sits above " from " in " a
      } else {
        if ((a, b) in may) next
        why = a " does not link " b
      }
      printf "%s:%s: includes %s (%s)\n", path, lineno, target, why > "/dev/stderr"
      bad++
    }
    END {
      if (failed) exit 1
      if (bad) {
        printf "layers: %d include(s) run upward; move the shared part down a layer\n", bad > "/dev/stderr"
        exit 1
      }
      print "layers: every include under src/ runs down the layer order"
    }
  '
