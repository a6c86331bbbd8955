// The stand-in engine's dashboard: the state, the media-folder setup step and the controls.
#pragma once

namespace kestrova::engine {

// One self-contained page; it polls /api/status and posts to the engine's endpoints.
inline constexpr const char* kDashboardPage = R"HTML(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Kestrova</title><style>
body { font: 15px system-ui, sans-serif; margin: 2em; color: #222; } .hidden { display: none; }
#state { font-size: 1.6em; font-weight: 600; } #now { color: #555; margin: .3em 0 1.2em; }
input { width: 26em; padding: .3em; } button { padding: .3em .9em; margin: .2em .3em .2em 0; }
</style></head><body>
<h1>Kestrova</h1><div id="state">Connecting&hellip;</div><div id="now"></div>
<section id="setup" class="hidden"><h2>Set up: choose the media folder</h2>
 <p>Kestrova broadcasts the videos in one folder. Type its path, or use &ldquo;Choose Media
 Folder&hellip;&rdquo; in the menu bar, then press Continue.</p>
 <input id="folder" placeholder="/Users/you/Movies/Channel">
 <button id="use">Use This Folder</button><button id="continue">Continue</button></section>
<section id="controls" class="hidden">
 <button id="stop">Stop broadcasting</button><button id="start">Start broadcasting</button>
 <button id="golive">Go live&hellip;</button><button id="endlive">End live event</button></section>
<p id="message"></p>
<script>
const $ = (id) => document.getElementById(id);
const show = (id, shown) => $(id).classList.toggle("hidden", !shown);
async function post(path, body) {
  const answer = await (await fetch(path, { method: "POST", body: JSON.stringify(body),
      headers: { "Content-Type": "application/json" } })).json();
  $("message").textContent = answer.error || "";
  refresh();
  return answer;
}
async function refresh() {
  try {
    const s = await (await fetch("/api/status")).json();
    $("state").textContent = !s.setup_complete ? "Setup needed" : s.live_mode ? "LIVE EVENT"
        : (s.enabled && s.playing) ? "ON AIR" : "Idle \u2014 not broadcasting";
    $("now").textContent = s.now ? "Now playing: " + s.now : "";
    show("setup", !s.setup_complete); show("controls", s.setup_complete);
    show("stop", s.enabled); show("start", !s.enabled);
    show("golive", !s.live_mode); show("endlive", s.live_mode);
  } catch (e) { $("state").textContent = "Offline"; }
}
$("use").onclick = async () => {
  const answer = await post("/api/setup/folder", { path: $("folder").value });
  if (!answer.error) $("message").textContent = "Found " + answer.video_count + " video(s).";
};
$("continue").onclick = refresh;
$("stop").onclick = () => { if (confirm("Stop broadcasting?")) post("/api/broadcast", { enabled: false }); };
$("start").onclick = () => post("/api/broadcast", { enabled: true });
$("golive").onclick = () => {
  const title = prompt("Name of the live event:", "Live event");
  if (title !== null) post("/api/live", { live_mode: true, title: title });
};
$("endlive").onclick = () => post("/api/live", { live_mode: false });
refresh();
setInterval(refresh, 3000);
</script></body></html>
)HTML";

}  // namespace kestrova::engine
