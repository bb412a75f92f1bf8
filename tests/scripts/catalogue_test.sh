#!/usr/bin/env bash
# Every text the sources mark for translation has its English translation in
# po/en.po (a Japanese source text without one fails), every English source
# text its Japanese one in po/ja.po, and both catalogues compile with their
# formats checked. Usage: catalogue_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$source_dir"
scripts/update-po "$work/now.pot" 2>/dev/null
status=0
for language in en ja; do
    msgfmt --check -o /dev/null "po/$language.po"
    msgmerge --quiet --no-fuzzy-matching -o "$work/$language.po" "po/$language.po" "$work/now.pot"
    msgattrib --untranslated --no-obsolete -o "$work/$language.missing.po" "$work/$language.po"
    # Japanese source texts need English; English source texts need Japanese.
    if [ "$language" = en ]; then want=japanese; else want=english; fi
    missing="$(WANT="$want" msgexec -i "$work/$language.missing.po" sh -c '
        [ -n "$MSGEXEC_MSGID" ] || exit 0
        if printf "%s" "$MSGEXEC_MSGID" | LC_ALL=C grep -qP "[\x80-\xFF]"; then
            source=japanese
        else
            source=english
        fi
        if [ "$source" = "$WANT" ]; then printf "%s\n" "$MSGEXEC_MSGID"; fi')"
    if [ -n "$missing" ]; then
        echo "texts without a translation in po/$language.po (run scripts/update-po):"
        printf '%s\n' "$missing"
        status=1
    fi
done
exit $status
