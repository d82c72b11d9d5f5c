#!/usr/bin/env bash
# Runs every benchmark and prints one table: each row a figure of ours, the reference measured
# in the same run, their ratio, the goal and whether it is met. A missed goal is reported, not
# an error; the script fails when a figure could not be measured (its row then says so, and the
# reason follows the table). It installs what it needs first (tools/setup.sh), as the build does.
#   bench/run.sh [--quick | --table]
# --quick lowers rounds and file sizes (a check that everything runs, not a measurement);
# --table prints the table of the last run again (build/bench-all/keys) without measuring.
# Each benchmark's own run.sh prints its details; here they give "key value" lines (--keys).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
quick="" measure=1
for arg in "$@"; do
  case "$arg" in
    --quick) quick=--quick ;;
    --table) measure=0 ;;
    *) echo "usage: $0 [--quick | --table]" >&2; exit 2 ;;
  esac
done
work=$root/build/bench-all
failed=0
if [ "$measure" = 1 ]; then
  # The references (curl, tinyxml2) and the native compiler come with the project's packages.
  tools/setup.sh >/dev/null || { echo "tools/setup.sh could not install what the benchmarks need" >&2; exit 1; }
  tools/build.sh --tests >/dev/null || { echo "the build failed" >&2; exit 1; }
  rm -rf "$work"
  mkdir -p "$work"
  : >"$work/keys"
  : >"$work/reasons"
  run() {  # name prefix command...: its key lines, prefixed, into $work/keys
    local name=$1 prefix=$2
    shift 2
    echo "running $name ..." >&2
    if "$@" --keys $quick >"$work/$name.keys" 2>"$work/$name.log"; then
      sed "s/^/$prefix/" "$work/$name.keys" >>"$work/keys"
    else
      {
        echo "$name could not be measured (build/bench-all/$name.log):"
        tail -5 "$work/$name.log"
      } | tee -a "$work/reasons" >&2
      failed=1
    fi
  }
  run download dl_ bench/download/run.sh
  run digest "" bench/digest/run.sh
  run xml "" bench/xml/run.sh
  run startup start_ bench/startup/run.sh
  run memory mem_ bench/memory/run.sh
  for file in Norvane.exe Pallix.exe ko-KR.dll; do
    if [ -f "build/bin/$file" ]; then
      echo "size_$file $(stat -c %s "build/bin/$file")" >>"$work/keys"
    else
      echo "build/bin/$file is missing: its size could not be measured" | tee -a "$work/reasons" >&2
      failed=1
    fi
  done
elif [ ! -f "$work/keys" ]; then
  echo "no earlier run in $work" >&2
  exit 1
fi

# Budgets in bytes, as tools/check-shipped.sh has them.
awk -v quick="$quick" '
  { v[$1] = $2; have[$1] = 1 }
  function row(label, figure, reference, ratio, goal, met) {
    printf "| %-52s | %22s | %22s | %18s | %-18s | %-3s |\n", label, figure, reference, ratio, goal, met
  }
  function range(key) { return sprintf("%.2f (%.2f-%.2f)", v[key], v[key "_low"], v[key "_high"]) }
  function yes(ok) { return ok ? "yes" : "no" }
  function missing(label) { row(label, "not measured", "", "", "", "-"); unmeasured = unmeasured "\n  " label }
  function speed(label, key, ours, theirs, unit, least) {
    if (!(key in have)) { missing(label); return }
    row(label, sprintf("%.1f %s", v[ours], unit), sprintf("%.1f %s", v[theirs], unit), range(key),
        sprintf(">= %.1f", least), yes(v[key] >= least))
  }
  function start(label, p, reference, most) {
    if (!((p "_ratio") in have)) { missing(label); return }
    row(label, sprintf("%.0f ms", v[p "_subject_ms"]), sprintf("%.0f ms (%s)", v[p "_reference_ms"], reference),
        range(p "_ratio"), sprintf("<= %.1f", most), yes(v[p "_ratio"] <= most))
  }
  function size(file, budget,   kb) {
    if (!(("size_" file) in have)) { missing(file " size"); return }
    kb = v["size_" file] / 1024
    if (budget == 0) { row(file " size (shipped, i686)", sprintf("%.0f KB", kb), "no budget", "", "", "-"); return }
    row(file " size (shipped, i686)", sprintf("%.0f KB", kb), sprintf("%.0f KB budget", budget / 1024),
        sprintf("%.2f", v["size_" file] / budget), "<= 1.0 of budget", yes(v["size_" file] <= budget))
  }
  END {
    row("row", "figure", "reference", "ratio (range)", "goal", "met")
    printf "|%s|%s|%s|%s|%s|%s|\n", "------------------------------------------------------", "------------------------",
           "------------------------", "--------------------", "--------------------", "-----"
    speed("DownloadToFile vs curl to a file", "dl_DownloadToFile_vs_curl-file", "dl_DownloadToFile_mbs", "dl_curl-file_mbs", "MB/s", 0.8)
    speed("DownloadToFile with progress vs curl to a file", "dl_DownloadToFile+progress_vs_curl-file", "dl_DownloadToFile+progress_mbs", "dl_curl-file_mbs", "MB/s", 0.8)
    speed("DownloadToTempFile vs curl to a file", "dl_DownloadToTempFile_vs_curl-file", "dl_DownloadToTempFile_mbs", "dl_curl-file_mbs", "MB/s", 0.5)
    speed("Setup-file digest vs md5sum", "digest_vs_md5sum", "digest_mbs", "md5sum_mbs", "MB/s", 0.8)
    if ("xml_1mb_speed_ratio" in have) {
      row("XML reader vs tinyxml2 speed, 1 MB", sprintf("%.2f ms", v["xml_1mb_reader_ms"]),
          sprintf("%.2f ms", v["xml_1mb_tinyxml2_ms"]), sprintf("%.2f", v["xml_1mb_speed_ratio"]), ">= 1.0",
          yes(v["xml_1mb_speed_ratio"] >= 1.0))
      row(sprintf("XML reader vs tinyxml2 speed, %d MB", v["xml_large_mb"]), sprintf("%.1f ms", v["xml_large_reader_ms"]),
          sprintf("%.1f ms", v["xml_large_tinyxml2_ms"]), sprintf("%.2f", v["xml_large_speed_ratio"]), ">= 1.0",
          yes(v["xml_large_speed_ratio"] >= 1.0))
      row(sprintf("XML growth 1 -> %d MB: time ratio vs size ratio", v["xml_large_mb"]), sprintf("x%.1f", v["xml_growth_time"]),
          sprintf("x%.1f", v["xml_growth_size"]), sprintf("%.2f", v["xml_growth"]), "<= 1.2 (linear)", yes(v["xml_growth"] <= 1.2))
      row("  for information: tinyxml2 growth, same files", sprintf("x%.1f", v["xml_growth_size"] * v["xml_growth_tinyxml2"]),
          sprintf("x%.1f", v["xml_growth_size"]), sprintf("%.2f", v["xml_growth_tinyxml2"]), "-", "-")
    } else {
      missing("XML reader vs tinyxml2")
    }
    start("Norvane start to its first page vs minimal dialog", "start_norvane", "dialog", 1.3)
    start("Pallix -uninstall (nothing running) vs no-op", "start_pallix", "no-op", 1.3)
    if ("start_pallix_user32_ratio" in have)
      row("  for information: vs no-op importing user32", sprintf("%.0f ms", v["start_pallix_user32_subject_ms"]),
          sprintf("%.0f ms (no-op+user32)", v["start_pallix_user32_reference_ms"]), range("start_pallix_user32_ratio"), "-", "-")
    if ("mem_norvane_peak_private" in have) {
      row("Norvane peak private memory, whole update", sprintf("%.1f MB", v["mem_norvane_peak_private"] / 1048576),
          sprintf("%.1f MB (dialog)", v["mem_dialog_peak_private"] / 1048576),
          sprintf("%.2f", v["mem_norvane_peak_private"] / v["mem_dialog_peak_private"]), "<= 20 MB (figure)",
          yes(v["mem_norvane_peak_private"] <= 20 * 1048576))
    } else {
      missing("Norvane peak private memory")
    }
    if ("mem_norvane_answer_worst_ms" in have && "mem_dialog_answer_worst_ms" in have) {
      row("Norvane window, answer to a message, whole update", sprintf("%.1f ms worst", v["mem_norvane_answer_worst_ms"]),
          sprintf("%.1f ms (dialog)", v["mem_dialog_answer_worst_ms"]), "-", "<= 100 ms worst",
          yes(v["mem_norvane_answer_worst_ms"] <= 100 && v["mem_norvane_answer_misses"] == 0))
      row("  and its median", sprintf("%.2f ms", v["mem_norvane_answer_median_ms"]),
          sprintf("%.2f ms (dialog)", v["mem_dialog_answer_median_ms"]), "-", "-", "-")
    } else {
      missing("Norvane window, answer to a message")
    }
    size("Norvane.exe", 614400)
    size("Pallix.exe", 358400)
    size("ko-KR.dll", 0)
    if (quick != "") print "(quick run: fewer rounds and smaller files; not a measurement)"
    if (unmeasured != "") {
      printf "not measured:%s\n", unmeasured > "/dev/stderr"
      exit 1
    }
  }' "$work/keys" || failed=1
if [ "$failed" = 1 ] && [ -s "$work/reasons" ]; then
  echo "why:" >&2
  sed 's/^/  /' "$work/reasons" >&2
fi
exit "$failed"
