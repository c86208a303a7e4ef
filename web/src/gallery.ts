// Each folder's images, shown as a gallery.  An image is decoded only when
// it comes near the screen, so that thousands of them do not hold the page
// up; an entry that holds no image keeps a placeholder.

import { joined, type Folder } from "./messages";
import { words } from "./i18n";
import { picture_of } from "./preview";

// Pictures are at most this many pixels each way: the gallery shows them
// smaller, on screens of up to two pixels a CSS pixel.
const most = 256;
// Smaller images are shown larger, each pixel a square.
const least_css = 32;

const near = new IntersectionObserver(
  (entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      near.unobserve(entry.target);
      show(entry.target as HTMLElement);
    }
  },
  { rootMargin: "400px" },
);

const images = new WeakMap<Element, Uint8Array[]>();

function show(figure: HTMLElement): void {
  const picture = picture_of(joined(images.get(figure)!), most);
  const canvas = figure.querySelector("canvas")!;
  if (!picture) {
    canvas.remove();
    figure.classList.add("undecodable");
    figure.title = words.undecodable;
    return;
  }
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.getContext("2d")!.putImageData(new ImageData(picture.rgba, picture.width, picture.height), 0, 0);
  const side = Math.max(picture.source_width, picture.source_height);
  if (side < least_css) {
    canvas.style.width = `${picture.source_width * Math.ceil(least_css / side)}px`;
    canvas.classList.add("tiny");
  }
  if (picture.sheared_elsewhere) {
    const note = document.createElement("small");
    note.textContent = words.sheared_short;
    note.title = words.sheared;
    figure.querySelector("figcaption")!.append(note);
  }
}

/** Shows |folders| in |view|, in place of what it showed. */
export function show_gallery(view: HTMLElement, folders: Folder[]): void {
  view.replaceChildren();
  for (const folder of folders) {
    const section = document.createElement("section");
    const heading = document.createElement("h3");
    heading.textContent = `${folder.name} (${folder.images.length})`;
    const grid = document.createElement("ul");
    grid.className = "images";
    for (const image of folder.images) {
      const item = document.createElement("li");
      const figure = document.createElement("figure");
      const canvas = document.createElement("canvas");
      canvas.setAttribute("role", "img");
      canvas.setAttribute("aria-label", `${folder.name}/${image.name}`);
      canvas.width = canvas.height = 0;
      const caption = document.createElement("figcaption");
      caption.textContent = image.name;
      figure.append(canvas, caption);
      item.append(figure);
      grid.append(item);
      images.set(figure, image.parts);
      near.observe(figure);
    }
    section.append(heading, grid);
    view.append(section);
  }
}
