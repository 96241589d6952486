# The settings button opens the settings panel directly below the login
# dialog, at its left edge and with its width, keeps it there when the dialog
# moves, and closes it again; the button's arrow tells which.
source "$(dirname "$0")/lib.sh"
login_prologue
panel=(--title '' --class '#32770')

settings_text() { control_text "$(ui texts --title "$login_title")" 1005; }

# The panel's rectangle against the dialog's: same left and right, top at the dialog's bottom.
expect_below() {
    local d p
    read -ra d <<<"$(ui rect --title "$login_title")"
    read -ra p <<<"$(ui rect "${panel[@]}")"
    echo "dialog ${d[*]}, panel ${p[*]}"
    [ "${p[0]}" = "${d[0]}" ] && [ "${p[2]}" = "${d[2]}" ] && [ "${p[1]}" = "${d[3]}" ] ||
        fail "the panel is not below the dialog"
    [ "${p[3]}" -gt "${p[1]}" ] || fail "the panel has no height"
}

start_login "$dir"
[ "$(settings_text)" = 设置↓ ] || fail "settings button: $(settings_text)"
ui gone "${panel[@]}" --timeout 0 || fail "the panel shows before it is asked for"

ui click --title "$login_title" --id 1005
[ "$(settings_text)" = 设置↑ ] || fail "settings button when open: $(settings_text)"
texts=$(ui texts "${panel[@]}" --timeout 5000) || fail "no panel"
echo "$texts"
[ "$(control_text "$texts" 1006)" = 获取密码 ] || fail "not the settings panel"
expect_below

ui move --title "$login_title" --x 40 --y 60
read -ra d <<<"$(ui rect --title "$login_title")"
[ "${d[0]} ${d[1]}" = "40 60" ] || fail "the dialog did not move: ${d[*]}"
expect_below

ui click --title "$login_title" --id 1005
[ "$(settings_text)" = 设置↓ ] || fail "settings button when closed: $(settings_text)"
ui gone "${panel[@]}" --timeout 5000 || fail "the panel stayed"
close_login
