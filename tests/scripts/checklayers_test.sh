#!/usr/bin/env bash
# The layer check passes on the tree and fails, naming the file, on each kind
# of planted violation.
#   checklayers_test.sh CHECK-LAYERS REPOSITORY
set -u
check="$1"
repo="$2"
failed=0
passed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

expect() { # expect STATUS PATTERN ROOT DESCRIPTION
    local want="$1" pattern="$2" root="$3" what="$4" out status
    out=$(bash "$check" "$root" 2>&1)
    status=$?
    if [ "$status" != "$want" ] || ! grep -q -E -- "$pattern" <<<"$out"; then
        echo "FAIL: $what (exit $status)"
        printf '%s\n' "$out"
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

expect 0 '^$' "$repo" "the repository keeps its layers"

plant() { # plant NAME FILE LINE: a small clean tree with one line added
    local root="$work/$1"
    mkdir -p "$root"/{base,engine,graph,analysis,cli,gui}
    printf '#include <string>\n' >"$root/base/text.h"
    printf '#include "base/text.h"\n' >"$root/engine/wave.h"
    printf '#include "base/text.h"\n' >"$root/graph/canvas.h"
    printf '#include "engine/wave.h"\n#include "graph/canvas.h"\n' >"$root/analysis/run.h"
    printf '#include "analysis/run.h"\n' >"$root/cli/main.cpp"
    printf '#include <QWidget>\n#include "analysis/run.h"\n' >"$root/gui/form.cpp"
    [ -n "$2" ] && printf '%s\n' "$3" >>"$root/$2"
    printf '%s' "$root"
}

expect 0 '^$' "$(plant clean "" "")" "a clean tree passes"
expect 1 'engine/wave.h:2: engine/ includes "analysis/run.h"' \
    "$(plant up engine/wave.h '#include "analysis/run.h"')" "an include from a layer above"
expect 1 'graph/canvas.h:2: graph/ includes "engine/wave.h"' \
    "$(plant side graph/canvas.h '#include "engine/wave.h"')" "graph including engine"
expect 1 'analysis/run.h:3: analysis/ includes "cli/x.h"' \
    "$(plant front analysis/run.h '#include "cli/x.h"')" "a layer including a front"
expect 1 'cli/main.cpp:2: cli/ includes "gui/form.h"' \
    "$(plant fronts cli/main.cpp '#include "gui/form.h"')" "one front including another"
expect 1 'analysis/run.h:3: Qt header <QImage> outside gui/' \
    "$(plant qt analysis/run.h '#include <QImage>')" "a Qt header outside gui/"
expect 1 'base/text.h:2: Qt header <QtCore/QString> outside gui/' \
    "$(plant qtpath base/text.h '#  include <QtCore/QString>')" "a Qt header by its module path"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
